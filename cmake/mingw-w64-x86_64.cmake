# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (the
# -posix threads model). The libraries built by scripts/windows/deps.sh are
# found through CMAKE_PREFIX_PATH; programs (Qt's moc, rcc and uic among
# them) come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOMBOLIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOMBOLIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOMBOLIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TOMBOLIX_MINGW}-windres)
set(CMAKE_AR ${TOMBOLIX_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOMBOLIX_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TOMBOLIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
