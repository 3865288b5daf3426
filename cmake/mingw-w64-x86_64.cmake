# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (the
# -posix threads model). Headers, libraries and packages come only from
# MinGW's own folder and from the libraries built by scripts/windows/deps.sh
# (TOMBOLIX_WINDOWS_PREFIX, or the first entry of CMAKE_PREFIX_PATH), never
# from this machine's /usr/include; programs (Qt's moc, rcc and uic among
# them) come from this machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOMBOLIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOMBOLIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOMBOLIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TOMBOLIX_MINGW}-windres)
set(CMAKE_AR ${TOMBOLIX_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOMBOLIX_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT TOMBOLIX_WINDOWS_PREFIX AND CMAKE_PREFIX_PATH)
    list(GET CMAKE_PREFIX_PATH 0 TOMBOLIX_WINDOWS_PREFIX)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TOMBOLIX_MINGW} ${TOMBOLIX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
