# wrap_forms(<var> <form>...): the forms' ui_*.h, each written into the current binary directory by
# a uic command of its own, named in <var>. Not AUTOUIC: ninja learns of the headers AUTOUIC writes
# only after it has judged the objects that include them, so a form edit reached the program one
# build late.
function(wrap_forms var)
    qt_wrap_ui(headers ${ARGN})
    # A build tree from before keeps AUTOUIC's headers in the autogen include directories, which
    # come first on the include path and would hide these.
    file(GLOB stale ${CMAKE_CURRENT_BINARY_DIR}/*_autogen/include/ui_*.h)
    if(stale)
        file(REMOVE ${stale})
    endif()
    set(${var} ${headers} PARENT_SCOPE)
endfunction()
