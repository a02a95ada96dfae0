# Shared part of the MinGW-w64 toolchain files. The including file sets
# DEVIDUDI_TRIPLET before it includes this one.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model is the one Debian builds its g++-mingw-w64 with
# std::thread support; the win32 model lacks it.
set(CMAKE_C_COMPILER   ${DEVIDUDI_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DEVIDUDI_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${DEVIDUDI_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DEVIDUDI_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
