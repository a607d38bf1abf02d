# Writes the console's build identification (short revision, build time, modification value) into
# OUT, and into DEPFILE what it depends on: the records of HEAD and the index, and every tracked
# file. OUT is rewritten only when the revision or the modification value changes, so its build
# time is that of the build that wrote it, and an unchanged tree links nothing again.
function(git out)
    execute_process(COMMAND git --no-optional-locks -c core.quotepath=off ${ARGN}
                    WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE text ERROR_QUIET)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

git(ZUD_REVISION rev-parse --short=7 HEAD)
string(STRIP "${ZUD_REVISION}" ZUD_REVISION)
if(NOT ZUD_REVISION)
    set(ZUD_REVISION "unknown")
endif()
# The number of tracked files changed against the revision: "0" for a clean tree.
git(changes status --porcelain --untracked-files=no)
string(REGEX MATCHALL "\n" lines "${changes}")
list(LENGTH lines ZUD_MODIFICATION)

# Unchanged identification keeps the time stamp it was written with.
set(old "")
if(EXISTS ${OUT})
    file(READ ${OUT} old)
endif()
set(ZUD_BUILD_TIME "")
if(old MATCHES "buildTimeStamp = \"([^\"]*)\"")
    set(ZUD_BUILD_TIME "${CMAKE_MATCH_1}")
endif()
file(READ ${SOURCE_DIR}/zud/src/buildinfo.cpp.in template)
string(CONFIGURE "${template}" text @ONLY)
if(NOT text STREQUAL old)
    string(TIMESTAMP ZUD_BUILD_TIME "%Y-%m-%d_%H:%M")
    string(CONFIGURE "${template}" text @ONLY)
    file(WRITE ${OUT} "${text}")
endif()

# A commit, a checkout or a reset moves HEAD's records, staging rewrites the index, an edit touches
# a tracked file. Only files that exist are named: a missing one would make every build run this.
git(records rev-parse --path-format=absolute --git-path HEAD --git-path logs/HEAD --git-path index
    --git-path packed-refs)
git(branch symbolic-ref -q HEAD)
string(STRIP "${branch}" branch)
if(branch)
    git(ref rev-parse --path-format=absolute --git-path ${branch})
    string(APPEND records "${ref}")
endif()
git(tracked ls-files)
string(REPLACE "\n" ";" records "${records}")
string(REPLACE "\n" ";" tracked "${tracked}")
set(depends "")
foreach(file ${records} ${tracked})
    # Names that git quotes (with a quote, a backslash or a control character) are left out.
    if(file MATCHES "^\"")
        continue()
    endif()
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${SOURCE_DIR})
    if(EXISTS ${file} AND NOT IS_DIRECTORY ${file})
        string(REPLACE " " "\\ " file "${file}")
        string(APPEND depends " \\\n  ${file}")
    endif()
endforeach()
file(WRITE ${DEPFILE} "${OUT}:${depends}\n")
