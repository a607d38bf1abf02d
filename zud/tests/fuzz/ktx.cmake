# The fuzz target of the handset display's network input (records and the windows that read
# them), built with clang's libFuzzer beside the main build from moc and uic output of its own,
# and run by CTest for a short, fixed time on the seeds of ktx_seeds/.
find_program(ZUD_FUZZ_CLANGXX NAMES clang++ clang++-14)
if(NOT ZUD_FUZZ_CLANGXX)
    message(STATUS "clang++ not found: no handset fuzz target")
else()
    pkg_check_modules(QT6WIDGETS_PC REQUIRED Qt6Widgets)

    set(ZUD_SRC ${PROJECT_SOURCE_DIR}/zud/src)
    set(KTX_CLASSES ledmatrix ktxabstract ktxtext ktxmain ktxinfo ktxchoice ktxaccept ktxinput ktxprogress)
    set(KTX_FORMS ktxtext ktxmain ktxinfo ktxchoice ktxaccept ktxinput ktxprogress)
    list(TRANSFORM KTX_CLASSES PREPEND ${ZUD_SRC}/ OUTPUT_VARIABLE KTX_STEMS)
    list(TRANSFORM KTX_STEMS APPEND .h OUTPUT_VARIABLE KTX_HEADERS)
    list(TRANSFORM KTX_STEMS APPEND .cpp OUTPUT_VARIABLE KTX_SOURCES)
    list(TRANSFORM KTX_FORMS PREPEND ${ZUD_SRC}/ OUTPUT_VARIABLE KTX_UI)
    list(TRANSFORM KTX_UI APPEND .ui)

    set(KTX_FUZZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/ktx_fuzz)
    file(MAKE_DIRECTORY ${KTX_FUZZ_DIR})
    qt6_wrap_cpp(KTX_MOC ${KTX_HEADERS})
    set(KTX_UI_HEADERS "")
    foreach(form ${KTX_FORMS})
        add_custom_command(OUTPUT ${KTX_FUZZ_DIR}/ui_${form}.h
            COMMAND Qt6::uic ${ZUD_SRC}/${form}.ui -o ${KTX_FUZZ_DIR}/ui_${form}.h
            DEPENDS ${ZUD_SRC}/${form}.ui)
        list(APPEND KTX_UI_HEADERS ${KTX_FUZZ_DIR}/ui_${form}.h)
    endforeach()

    set(KTX_FUZZ_INPUTS ${CMAKE_CURRENT_LIST_DIR}/ktx_fuzz.cpp ${ZUD_SRC}/ledfonts.cpp ${ZUD_SRC}/ktxrecord.cpp
        ${KTX_SOURCES} ${KTX_MOC})
    set(KTX_FUZZ_BINARY ${CMAKE_CURRENT_BINARY_DIR}/ktx_fuzzer)
    add_custom_command(OUTPUT ${KTX_FUZZ_BINARY}
        COMMAND ${ZUD_FUZZ_CLANGXX} -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined
                -fno-sanitize-recover=undefined ${QT6WIDGETS_PC_CFLAGS} -I${ZUD_SRC} -I${KTX_FUZZ_DIR}
                ${KTX_FUZZ_INPUTS} ${QT6WIDGETS_PC_LDFLAGS} -o ${KTX_FUZZ_BINARY}
        DEPENDS ${KTX_FUZZ_INPUTS} ${KTX_HEADERS} ${KTX_UI_HEADERS} ${ZUD_SRC}/ledfonts.h ${ZUD_SRC}/ktxrecord.h
        COMMENT "Building the handset display's fuzz target with libFuzzer")
    add_custom_target(zud_ktx_fuzz ALL DEPENDS ${KTX_FUZZ_BINARY})

    # New inputs go to a scratch corpus; the seed directory is only read. Qt keeps a few objects
    # for the life of the process (fonts, the platform): leaks are not what this run looks for.
    add_test(NAME fuzz_zud_ktx
        COMMAND sh -c "corpus=$(mktemp -d) && \"$0\" -max_total_time=12 -timeout=10 -rss_limit_mb=2048 -max_len=4096 -detect_leaks=0 -print_final_stats=1 \"$corpus\" \"$1\"; status=$?; rm -rf \"$corpus\"; exit $status"
                ${KTX_FUZZ_BINARY} ${CMAKE_CURRENT_LIST_DIR}/ktx_seeds)
    set_tests_properties(fuzz_zud_ktx PROPERTIES TIMEOUT 120)
endif()
