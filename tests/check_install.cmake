# Installs the build into a scratch prefix and checks that a desktop finds the program there: the binary, a valid
# menu entry whose Exec and Icon name what was installed, an icon that renders, AppStream metadata that validates and
# manual pages that know every option; with -DLINT_PACKAGE=ON it also builds the Debian package and has lintian
# check it.
# Run as: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> [-DLINT_PACKAGE=ON] -P check_install.cmake
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
set(metainfo "${PREFIX}/share/metainfo/qadrill.metainfo.xml")
set(reportPage "${PREFIX}/share/man/man1/qadrill-report.1.gz")
set(course "${PREFIX}/bin/qadrill-course")
set(coursePage "${PREFIX}/share/man/man1/qadrill-course.1.gz")
foreach(f IN ITEMS "${binary}" "${report}" "${course}" "${coursePage}" "${entry}" "${icon}" "${metainfo}" "${reportPage}"
                   "${PREFIX}/share/man/man1/qadrill.1.gz" "${PREFIX}/share/doc/qadrill/copyright"
                   "${PREFIX}/share/doc/qadrill/changelog.gz")
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

# The instructor's and the course team's programs run from where they were installed, and every option that --help
# lists is in the manual page, as a reader sees it.
function(check_manual program page)
    get_filename_component(name "${program}" NAME)
    execute_process(COMMAND "${program}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: ${name} ")
        message(FATAL_ERROR "installed ${name} --help failed (${rc}):\n${out}${err}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env MANWIDTH=200
                            man --no-hyphenation --no-justification -l "${page}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT text MATCHES "EXIT STATUS")
        message(FATAL_ERROR "${name}'s manual page does not render (${rc}):\n${err}")
    endif()
    # An option's line starts with a dash; its names stand before the first two blanks.
    string(REGEX MATCHALL "\n +-[^\n]*" options "${out}")
    list(LENGTH options count)
    if(count LESS 4)
        message(FATAL_ERROR "no options found in ${name} --help:\n${out}")
    endif()
    foreach(line IN LISTS options)
        string(REGEX REPLACE "^\n +" "" line "${line}")
        string(REGEX REPLACE "  .*" "" line "${line}")
        string(REGEX MATCHALL "--?[a-zA-Z][-a-zA-Z0-9]*" names "${line}")
        foreach(name IN LISTS names)
            if(NOT text MATCHES "[^-a-z]${name}[^-a-z]")
                message(FATAL_ERROR "${program} --help lists ${name}, its manual page does not")
            endif()
        endforeach()
    endforeach()
endfunction()
check_manual("${report}" "${reportPage}")
check_manual("${course}" "${coursePage}")

# A software centre reads the metadata and the menu entry it launches; the project has no domain of its own to
# form a reverse-domain id from, so that one complaint is told as a note.
execute_process(COMMAND appstreamcli validate-tree --no-net --override=cid-desktopapp-is-not-rdns=info
                        "${PREFIX}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "AppStream metadata does not validate:\n${out}")
endif()

if(LINT_PACKAGE)
    set(packages "${PREFIX}/package")
    execute_process(COMMAND "${CMAKE_CPACK_COMMAND}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${packages}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    file(GLOB deb "${packages}/qadrill_*.deb")
    if(NOT rc EQUAL 0 OR NOT deb)
        message(FATAL_ERROR "the Debian package was not built (${rc}):\n${out}")
    endif()
    # lintian warns about being run by root (as CI is) unless told it is meant; that is no finding on the package.
    execute_process(COMMAND lintian --allow-root ${deb} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
        message(FATAL_ERROR "lintian finds fault with ${deb} (${rc}):\n${out}")
    endif()
endif()
