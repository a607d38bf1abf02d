# libFuzzer targets, built by clang beside the main build. A fuzz object set is to clang what an
# object library is to the main compiler: each source is compiled once per set, into an object of
# its own with its header dependencies, and every fuzz target of the set links those objects.
find_program(FUZZ_CLANGXX NAMES clang++ clang++-14)
if(NOT FUZZ_CLANGXX)
    message(STATUS "clang++ not found: no fuzz targets")
endif()
set(FUZZ_FLAGS -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# fuzz_object_set(<set> [FLAGS <flag>...] [DEPENDS <target>...]): the compile flags that the set
# adds to FUZZ_FLAGS, and the targets that its compiles wait for (those generating headers).
function(fuzz_object_set set)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "FLAGS;DEPENDS")
    set_property(DIRECTORY PROPERTY FUZZ_SET_${set}_FLAGS ${ARG_FLAGS})
    set_property(DIRECTORY PROPERTY FUZZ_SET_${set}_DEPENDS ${ARG_DEPENDS})
endfunction()

# The object of <source> in <set>, its compile added the first time a target asks for it.
function(fuzz_object set source out)
    cmake_path(IS_PREFIX PROJECT_BINARY_DIR "${source}" NORMALIZE generated)
    if(generated)
        file(RELATIVE_PATH name ${PROJECT_BINARY_DIR} ${source})
        set(name generated/${name})
    else()
        file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source})
    endif()
    set(object ${CMAKE_CURRENT_BINARY_DIR}/${set}/${name}.o)
    set(${out} ${object} PARENT_SCOPE)

    get_property(compiled DIRECTORY PROPERTY FUZZ_SET_${set}_OBJECTS)
    if(object IN_LIST compiled)
        return()
    endif()
    set_property(DIRECTORY APPEND PROPERTY FUZZ_SET_${set}_OBJECTS ${object})
    get_property(flags DIRECTORY PROPERTY FUZZ_SET_${set}_FLAGS)
    get_property(depends DIRECTORY PROPERTY FUZZ_SET_${set}_DEPENDS)
    add_custom_command(OUTPUT ${object}
        COMMAND ${CMAKE_CXX_COMPILER_LAUNCHER} ${FUZZ_CLANGXX} ${FUZZ_FLAGS} ${flags}
                -MD -MF ${object}.d -c ${source} -o ${object}
        DEPENDS ${source} ${depends}
        DEPFILE ${object}.d
        COMMAND_EXPAND_LISTS
        COMMENT "Building fuzz object ${set}/${name}.o")
endfunction()

# fuzz_target(<target> <program> SET <set> SOURCES <source>... [LIBS <link flag>...]): links the
# objects of the sources in <set> into <program> of the current binary directory.
function(fuzz_target target program)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "SET" "SOURCES;LIBS")
    set(objects "")
    foreach(source ${ARG_SOURCES})
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
        fuzz_object(${ARG_SET} ${source} object)
        list(APPEND objects ${object})
    endforeach()
    set(binary ${CMAKE_CURRENT_BINARY_DIR}/${program})
    add_custom_command(OUTPUT ${binary}
        COMMAND ${FUZZ_CLANGXX} ${FUZZ_FLAGS} ${objects} ${ARG_LIBS} -o ${binary}
        DEPENDS ${objects}
        COMMAND_EXPAND_LISTS
        COMMENT "Linking fuzz target ${program}")
    add_custom_target(${target} ALL DEPENDS ${binary})
endfunction()
