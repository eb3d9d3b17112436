# SPDX-License-Identifier: MIT
# Compiles each public header on its own with COMPILER -std=c++STANDARD -fsyntax-only FLAGS.
# Run as a CTest: cmake -DCOMPILER=... -DSTANDARD=17 -DFLAGS=... -DINCLUDE=... -DHEADERS=... -P
set(failed "")
foreach(header IN LISTS HEADERS)
    execute_process(
        COMMAND ${COMPILER} -std=c++${STANDARD} -fsyntax-only ${FLAGS} -I${INCLUDE}
                -x c++ ${INCLUDE}/${header}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message("${header}:\n${output}")
        list(APPEND failed ${header})
    endif()
endforeach()
if(failed)
    message(FATAL_ERROR "Headers that do not compile cleanly: ${failed}")
endif()
