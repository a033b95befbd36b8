set(VX_MINGW_TRIPLE x86_64-w64-mingw32)
set(VX_MINGW_ARCH AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Test programs run under wine64 with the project's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
