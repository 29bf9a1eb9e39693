# Runs one script test through the console runner: standard output and error must equal NAME.out
# and NAME.err, the exit status NAME.status (0 when absent). NAME.args, when present, lists the
# arguments one a line, run from the scripts folder ("-" reads standard input, a missing path is an
# unreadable file); otherwise NAME.ns is run, a line "//---" splitting it into files given in order
# to the one runner (globals stay, each counts its lines from 1). NAME.in becomes standard input.
# Called as: cmake -DRUNNER=... -DSCRIPTS=... -DWORK=... -DNAME=... -P RunScriptTest.cmake
cmake_minimum_required(VERSION 3.25)

set(base "${SCRIPTS}/${NAME}")
set(work "${WORK}/${NAME}")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

set(arguments "")
set(workingFolder "${work}")
if(EXISTS "${base}.args")
    file(STRINGS "${base}.args" arguments)
    set(workingFolder "${SCRIPTS}")
else()
    file(READ "${base}.ns" text)
    set(part 0)
    set(at 0)
    while(NOT at EQUAL -1)
        math(EXPR part "${part} + 1")
        string(FIND "${text}" "\n//---\n" at)
        set(piece "${text}")
        if(NOT at EQUAL -1)
            # The part keeps its own last line feed; the next starts after the separator's 7 bytes.
            string(SUBSTRING "${text}" 0 ${at} piece)
            string(APPEND piece "\n")
            math(EXPR at "${at} + 7")
            string(SUBSTRING "${text}" ${at} -1 text)
        endif()
        file(WRITE "${work}/part${part}.ns" "${piece}")
        list(APPEND arguments "${work}/part${part}.ns")
    endwhile()
endif()

set(input "")
if(EXISTS "${base}.in")
    set(input INPUT_FILE "${base}.in")
endif()
execute_process(COMMAND "${RUNNER}" ${arguments} ${input}
    OUTPUT_VARIABLE actualout ERROR_VARIABLE actualerr RESULT_VARIABLE actualStatus
    WORKING_DIRECTORY "${workingFolder}")
set(expectedStatus 0)
if(EXISTS "${base}.status")
    file(STRINGS "${base}.status" expectedStatus LIMIT_COUNT 1)
endif()

# Each difference is shown by diff, with the whole output kept in the work folder.
set(report "")
foreach(stream out err)
    file(WRITE "${work}/actual.${stream}" "${actual${stream}}")
    file(READ "${base}.${stream}" expected)
    if(NOT actual${stream} STREQUAL expected)
        execute_process(COMMAND diff -u "${base}.${stream}" "${work}/actual.${stream}" OUTPUT_VARIABLE difference)
        string(APPEND report "NAME.${stream} differs:\n${difference}")
    endif()
endforeach()
if(NOT actualStatus STREQUAL expectedStatus)
    string(APPEND report "exit status: expected ${expectedStatus}, actual ${actualStatus}\n")
endif()
if(NOT report STREQUAL "")
    message(FATAL_ERROR "${NAME}: ${report}whole output: ${work}/actual.out and ${work}/actual.err")
endif()
