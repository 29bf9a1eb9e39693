# Runs one script test through the console runner and compares what it did with what the test
# expects: standard output byte for byte with NAME.out, standard error with NAME.err, and the exit
# status with NAME.status (0 when that file is absent). Any difference fails the test with the
# first differing line of each stream shown; the whole output is kept in the work folder.
#
# What is run:
#   NAME.args  when present: one argument per line, given as it stands, with the scripts folder
#              as the working folder ("-" reads standard input; a path that does not exist tests
#              an unreadable file).
#   NAME.ns    otherwise. A line that is exactly "//---" splits it into parts; each part is
#              written to a file of its own and the parts are given in order as separate FILE
#              arguments, so they run one after the other on the same runner (globals stay) and
#              each counts its lines from 1.
#   NAME.in    when present, becomes standard input.
#
# Called as: cmake -DRUNNER=... -DSCRIPTS=... -DWORK=... -DNAME=... -P RunScriptTest.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required RUNNER SCRIPTS WORK NAME)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "RunScriptTest.cmake needs -D${required}=...")
    endif()
endforeach()

set(base "${SCRIPTS}/${NAME}")
set(work "${WORK}/${NAME}")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

foreach(expected out err)
    if(NOT EXISTS "${base}.${expected}")
        message(FATAL_ERROR "missing ${base}.${expected}: every script test states its whole output")
    endif()
endforeach()

set(arguments "")
set(workingFolder "${work}")
if(EXISTS "${base}.args")
    file(STRINGS "${base}.args" arguments)
    set(workingFolder "${SCRIPTS}")
else()
    file(READ "${base}.ns" text)
    set(separator "\n//---\n")
    string(LENGTH "${separator}" separatorLength)
    set(part 0)
    while(TRUE)
        string(FIND "${text}" "${separator}" at)
        if(at EQUAL -1)
            set(piece "${text}")
        else()
            string(SUBSTRING "${text}" 0 ${at} piece)
            # The part keeps its own last line feed.
            string(APPEND piece "\n")
        endif()
        math(EXPR part "${part} + 1")
        set(path "${work}/part${part}.ns")
        file(WRITE "${path}" "${piece}")
        list(APPEND arguments "${path}")
        if(at EQUAL -1)
            break()
        endif()
        math(EXPR rest "${at} + ${separatorLength}")
        string(SUBSTRING "${text}" ${rest} -1 text)
    endwhile()
endif()

set(input "")
if(EXISTS "${base}.in")
    set(input INPUT_FILE "${base}.in")
endif()

execute_process(
    COMMAND "${RUNNER}" ${arguments}
    ${input}
    OUTPUT_VARIABLE actualOut
    ERROR_VARIABLE actualErr
    RESULT_VARIABLE actualStatus
    WORKING_DIRECTORY "${workingFolder}"
)
file(WRITE "${work}/actual.out" "${actualOut}")
file(WRITE "${work}/actual.err" "${actualErr}")

file(READ "${base}.out" expectedOut)
file(READ "${base}.err" expectedErr)
set(expectedStatus 0)
if(EXISTS "${base}.status")
    file(STRINGS "${base}.status" expectedStatus LIMIT_COUNT 1)
endif()

# Describes the first line where two texts differ, with the line number and both versions in
# brackets so that blanks at either end show.
function(describe_difference label expected actual out)
    set(lineNumber 1)
    while(TRUE)
        string(FIND "${expected}" "\n" expectedEnd)
        string(FIND "${actual}" "\n" actualEnd)
        if(expectedEnd EQUAL -1)
            set(expectedLine "${expected}")
        else()
            string(SUBSTRING "${expected}" 0 ${expectedEnd} expectedLine)
        endif()
        if(actualEnd EQUAL -1)
            set(actualLine "${actual}")
        else()
            string(SUBSTRING "${actual}" 0 ${actualEnd} actualLine)
        endif()
        # The lines differ, or one text ends here and the other goes on.
        set(differs FALSE)
        if(NOT expectedLine STREQUAL actualLine)
            set(differs TRUE)
        elseif((expectedEnd EQUAL -1) AND NOT (actualEnd EQUAL -1))
            set(differs TRUE)
        elseif((actualEnd EQUAL -1) AND NOT (expectedEnd EQUAL -1))
            set(differs TRUE)
        endif()
        if(differs)
            if(expectedEnd EQUAL -1)
                set(expectedTail "(no line feed)")
            else()
                set(expectedTail "")
            endif()
            if(actualEnd EQUAL -1)
                set(actualTail "(no line feed)")
            else()
                set(actualTail "")
            endif()
            set(${out} "${label} differs at line ${lineNumber}:\n  expected [${expectedLine}]${expectedTail}\n  actual   [${actualLine}]${actualTail}\n" PARENT_SCOPE)
            return()
        endif()
        if(expectedEnd EQUAL -1)
            set(${out} "" PARENT_SCOPE)
            return()
        endif()
        math(EXPR expectedEnd "${expectedEnd} + 1")
        math(EXPR actualEnd "${actualEnd} + 1")
        string(SUBSTRING "${expected}" ${expectedEnd} -1 expected)
        string(SUBSTRING "${actual}" ${actualEnd} -1 actual)
        math(EXPR lineNumber "${lineNumber} + 1")
    endwhile()
endfunction()

set(report "")
if(NOT actualOut STREQUAL expectedOut)
    describe_difference("standard output" "${expectedOut}" "${actualOut}" difference)
    string(APPEND report "${difference}")
endif()
if(NOT actualErr STREQUAL expectedErr)
    describe_difference("standard error" "${expectedErr}" "${actualErr}" difference)
    string(APPEND report "${difference}")
endif()
if(NOT actualStatus STREQUAL expectedStatus)
    string(APPEND report "exit status: expected ${expectedStatus}, actual ${actualStatus}\n")
endif()
if(NOT report STREQUAL "")
    message(FATAL_ERROR "${NAME}: ${report}whole output: ${work}/actual.out and ${work}/actual.err")
endif()
