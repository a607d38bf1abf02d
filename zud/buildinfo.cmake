# Writes the console's build identification (short revision, build time, modification value) into
# OUT; run at every build, it rewrites OUT only when the text changes.
execute_process(COMMAND git rev-parse --short=7 HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE ZUD_REVISION OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT ZUD_REVISION)
    set(ZUD_REVISION "unknown")
endif()
# The number of tracked files changed against the revision: "0" for a clean tree.
execute_process(COMMAND git status --porcelain --untracked-files=no WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE changes ERROR_QUIET)
string(REGEX MATCHALL "\n" lines "${changes}")
list(LENGTH lines ZUD_MODIFICATION)
string(TIMESTAMP ZUD_BUILD_TIME "%Y-%m-%d_%H:%M")
configure_file(${SOURCE_DIR}/zud/src/buildinfo.cpp.in ${OUT} @ONLY)
