# The build of a drill that carries a course team's course stops here when the course has an error.
# Run as: cmake -DCHECKER=<qadrill-course> -DCOURSE=<course.txt> -DSTAMP=<file made when it passes> -P checkcourse.cmake
cmake_minimum_required(VERSION 3.22)
file(REMOVE "${STAMP}")
execute_process(COMMAND "${CHECKER}" check --quiet "${COURSE}" RESULT_VARIABLE rc)
if(rc EQUAL 2)
    message(FATAL_ERROR "${COURSE} has errors (above): the drill is not built with it")
elseif(NOT rc EQUAL 0 AND NOT rc EQUAL 1)
    message(FATAL_ERROR "${COURSE} could not be checked: ${rc}")
endif()
file(TOUCH "${STAMP}")
