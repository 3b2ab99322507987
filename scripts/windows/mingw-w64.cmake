# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads).
# Programs come from the build machine; libraries, headers and packages only from the MinGW root (and, once Qt's
# own toolchain file chains to this one, from the cross Qt's prefix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QADRILL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QADRILL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QADRILL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QADRILL_MINGW_TRIPLE}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${QADRILL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
