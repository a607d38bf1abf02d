# Copies the pages into a new directory beside DESTINATION and trades it for the one in place in a
# single step (SWAP, swap_folders.cpp), so that a running server serves every request from the
# whole old tree or the whole new one: never a half-copied tree, never a moment without one. The
# former tree stays beside as DESTINATION.old until the next lay-out, for the requests that were
# still reading from it.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*.html ${SOURCE}/*.js ${SOURCE}/*.css ${SOURCE}/*.svg)
list(FILTER files EXCLUDE REGEX "^(node_modules|tests)/")
set(staging ${DESTINATION}.new)
file(REMOVE_RECURSE ${staging} ${DESTINATION}.old)
foreach(file ${files})
    get_filename_component(dir ${file} DIRECTORY)
    file(COPY ${SOURCE}/${file} DESTINATION ${staging}/${dir})
endforeach()
file(MAKE_DIRECTORY ${staging}/lib ${staging}/configuration)
file(COPY_FILE ${LIBRARY} ${staging}/lib/preact-htm.js)
file(COPY_FILE ${STORE_TABLES} ${staging}/configuration/store_tables.js)
execute_process(COMMAND ${SWAP} ${staging} ${DESTINATION} RESULT_VARIABLE swapped)
if(NOT swapped EQUAL 0)
    message(FATAL_ERROR "the pages could not be put in place at ${DESTINATION}")
endif()
if(EXISTS ${staging})
    file(RENAME ${staging} ${DESTINATION}.old)
endif()
