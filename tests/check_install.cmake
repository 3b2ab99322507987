# Installs the build into a scratch prefix and checks that a desktop finds the program there: the binary, a valid
# menu entry whose Exec and Icon name what was installed, and an icon that renders.
# Run as: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P check_install.cmake
cmake_minimum_required(VERSION 3.22)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" RESULT_VARIABLE rc
                OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}")
endif()

set(binary "${PREFIX}/bin/qadrill")
set(report "${PREFIX}/bin/qadrill-report")
set(entry "${PREFIX}/share/applications/qadrill.desktop")
set(icon "${PREFIX}/share/icons/hicolor/scalable/apps/qadrill.svg")
foreach(f IN ITEMS "${binary}" "${report}" "${entry}" "${icon}")
    if(NOT EXISTS "${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()

execute_process(COMMAND desktop-file-validate "${entry}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop entry does not validate:\n${out}")
endif()

# Read as one text: a list of lines would split the categories at their semicolons.
file(READ "${entry}" text)
foreach(want IN ITEMS "Exec=qadrill" "Icon=qadrill" "Categories=Education\\;Math\\;" "Terminal=false")
    if(NOT text MATCHES "\n${want}\n")
        message(FATAL_ERROR "desktop entry lacks ${want}")
    endif()
endforeach()

execute_process(COMMAND rsvg-convert -w 48 -h 48 -o "${PREFIX}/icon-48.png" "${icon}" RESULT_VARIABLE rc
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "icon does not render: ${out}")
endif()
file(SIZE "${PREFIX}/icon-48.png" size)
if(size LESS 200) # a blank 48 x 48 picture is about 100 bytes
    message(FATAL_ERROR "icon renders empty")
endif()

# The instructor's program runs from where it was installed.
execute_process(COMMAND "${report}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: qadrill-report ")
    message(FATAL_ERROR "installed qadrill-report --help failed (${rc}):\n${out}${err}")
endif()
