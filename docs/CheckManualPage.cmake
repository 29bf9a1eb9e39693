# Formats one manual page at 80 columns with man's warnings on: fails when man fails, warns, or
# gives a page without its NAME and SYNOPSIS sections.
# Called as: cmake -DMAN=... -DPAGE=... -P CheckManualPage.cmake
set(ENV{MANWIDTH} 80)
execute_process(COMMAND ${MAN} --warnings -l ${PAGE}
    OUTPUT_VARIABLE text ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${PAGE}: status ${status}\n${warnings}")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION)
    if(NOT text MATCHES "\n${section}\n")
        message(FATAL_ERROR "${PAGE}: no ${section} section in\n${text}")
    endif()
endforeach()
