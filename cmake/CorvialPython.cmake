# corvial_python_importing(VAR module): VAR := a Python interpreter that imports module.
# Debian's python3-<module> packages belong to Debian's own interpreter, and another python3
# may come first on PATH, so the interpreter that really imports it is looked for. VAR stays
# empty, with a warning, when none does; the checks that need it then fail loudly instead of
# passing unread.
include_guard(GLOBAL)
function(corvial_python_importing var module)
    set(found "")
    foreach(candidate /usr/bin/python3 python3 python)
        find_program(_py NAMES ${candidate} NO_CACHE)
        if(_py)
            execute_process(COMMAND ${_py} -c "import ${module}" RESULT_VARIABLE _rc
                            OUTPUT_QUIET ERROR_QUIET)
            if(_rc EQUAL 0)
                set(found ${_py})
                break()
            endif()
        endif()
        unset(_py)
    endforeach()
    if(NOT found)
        message(WARNING "No Python interpreter imports ${module}: the checks that need it will fail")
    endif()
    set(${var} "${found}" PARENT_SCOPE)
endfunction()
