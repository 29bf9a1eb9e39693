# png-probe --same on two pictures that differ: it must exit with 1 and say MESSAGE (a regular
# expression) on standard error.
# Called as: cmake -DPROBE=... -DFIRST=... -DSECOND=... -DMESSAGE=... -P CheckDifference.cmake
execute_process(COMMAND ${PROBE} --same ${FIRST} ${SECOND} ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 1 OR NOT err MATCHES "${MESSAGE}")
    message(FATAL_ERROR "png-probe --same exited with ${status} and said:\n${err}\nexpected 1 and: ${MESSAGE}")
endif()
