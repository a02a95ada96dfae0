# 32-bit Windows build. Compiled and checked only: the machines we test on
# cannot run 32-bit programs under Wine, so no emulator is set and CTest
# registers no tests for it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(DEVIDUDI_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
