# The build of a drill that carries a course team's course runs the check first (cmake/checkcourse.cmake): a course
# with warnings only is built, one with an error stops the build, naming the place.
# Run as: cmake -DCHECKER=<qadrill-course> -DSOURCE_DIR=<sources> -DWORK=<scratch folder> -P course_build.cmake
cmake_minimum_required(VERSION 3.22)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(good "= 001.  One\n=\n= `q001. Question with one blank\n= `aAnswer\n=\n= end program\n")
string(REPLACE "= end program" "= the end" bad "${good}")
file(WRITE "${WORK}/good.txt" "${good}")
file(WRITE "${WORK}/bad.txt" "${bad}")

foreach(course good bad)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DCHECKER=${CHECKER} -DCOURSE=${WORK}/${course}.txt
                            -DSTAMP=${WORK}/${course}.stamp -P ${SOURCE_DIR}/cmake/checkcourse.cmake
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    set(${course}_rc ${rc})
    set(${course}_out "${out}")
endforeach()
if(NOT good_rc EQUAL 0 OR NOT EXISTS "${WORK}/good.stamp" OR NOT good_out MATCHES "good.txt:3:9: warning: ")
    message(FATAL_ERROR "a course with warnings only stopped the build (${good_rc}):\n${good_out}")
endif()
if(bad_rc EQUAL 0 OR EXISTS "${WORK}/bad.stamp" OR NOT bad_out MATCHES "bad.txt:1:3: error: assignment 001 has no")
    message(FATAL_ERROR "a course with an error did not stop the build (${bad_rc}):\n${bad_out}")
endif()
