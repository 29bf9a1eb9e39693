# One example picture: renders FOLDER/NAME.args (one argument a line, run in FOLDER) into
# WORK/NAME.png and fails unless nimbolt-render exits with 0, its standard error equals
# FOLDER/NAME.err and the picture equals PICTURE pixel for pixel (png-probe --same).
#
# Called as: cmake -DRENDER=... -DPROBE=... -DFOLDER=... -DNAME=... -DPICTURE=... -DWORK=...
#            -P RunExampleTest.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required RENDER PROBE FOLDER NAME PICTURE WORK)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "RunExampleTest.cmake needs -D${required}=...")
    endif()
endforeach()
foreach(expected ${FOLDER}/${NAME}.err ${PICTURE})
    if(NOT EXISTS ${expected})
        message(FATAL_ERROR "missing ${expected}: run scripts/render-examples.sh")
    endif()
endforeach()

set(out ${WORK}/${NAME}.png)
file(MAKE_DIRECTORY ${WORK})
file(REMOVE ${out})
file(STRINGS ${FOLDER}/${NAME}.args arguments)
list(FILTER arguments EXCLUDE REGEX "^$")

execute_process(COMMAND ${RENDER} ${arguments} -o ${out} WORKING_DIRECTORY ${FOLDER}
    OUTPUT_QUIET ERROR_VARIABLE err RESULT_VARIABLE status)

set(failed "")
if(NOT status EQUAL 0)
    string(APPEND failed "nimbolt-render exited with ${status}\n")
endif()
file(READ ${FOLDER}/${NAME}.err expectedErr)
if(NOT err STREQUAL expectedErr)
    string(APPEND failed "standard error:\n${err}expected:\n${expectedErr}")
endif()
execute_process(COMMAND ${PROBE} --same ${out} ${PICTURE} ERROR_VARIABLE probeErr RESULT_VARIABLE probeStatus)
if(NOT probeStatus EQUAL 0)
    string(APPEND failed "picture:\n${probeErr}")
endif()
if(failed)
    message(FATAL_ERROR "${NAME}:\n${failed}")
endif()
