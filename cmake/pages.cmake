# The browser pages: web/ of the sources, with the component library from web/node_modules (which
# scripts/install-deps installs from web/package-lock.json), laid out as a run directory's www/.
set(PAGES_SOURCE_DIR ${PROJECT_SOURCE_DIR}/web)
set(PAGES_LIBRARY ${PAGES_SOURCE_DIR}/node_modules/htm/preact/standalone.module.js)
if(NOT EXISTS ${PAGES_LIBRARY})
    message(FATAL_ERROR "${PAGES_LIBRARY} is missing: run scripts/install-deps (make does)")
endif()
file(GLOB_RECURSE PAGES_FILES CONFIGURE_DEPENDS
    ${PAGES_SOURCE_DIR}/*.html ${PAGES_SOURCE_DIR}/*.js ${PAGES_SOURCE_DIR}/*.css ${PAGES_SOURCE_DIR}/*.svg)
list(FILTER PAGES_FILES EXCLUDE REGEX "/(node_modules|tests)/")
# The store's column lists, written by the build from the store's table definitions.
set(PAGES_STORE_TABLES ${PROJECT_BINARY_DIR}/web/store_tables.js)

# Trades the new pages' folder for the old one in one step (see lay_out_pages.cmake).
add_executable(swap_folders ${PROJECT_SOURCE_DIR}/cmake/swap_folders.cpp)

# lay_out_pages(<target> <www directory>)
function(lay_out_pages target destination)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${PAGES_SOURCE_DIR} -DLIBRARY=${PAGES_LIBRARY}
            -DSTORE_TABLES=${PAGES_STORE_TABLES}
            -DDESTINATION=${destination} -DSWAP=$<TARGET_FILE:swap_folders>
            -P ${PROJECT_SOURCE_DIR}/cmake/lay_out_pages.cmake
        COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp
        DEPENDS ${PAGES_FILES} ${PAGES_LIBRARY} ${PAGES_STORE_TABLES} ${PROJECT_SOURCE_DIR}/cmake/lay_out_pages.cmake
            swap_folders
        COMMENT "Laying out the pages in ${destination}")
    add_custom_target(${target} ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp)
    add_dependencies(${target} store_tables_js)
endfunction()
