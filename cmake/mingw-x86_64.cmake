# 64-bit Windows build. Its executables run under Wine, so CTest can run them.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DEVIDUDI_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
