set(VX_MINGW_TRIPLE i686-w64-mingw32)
set(VX_MINGW_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# 32-bit code cannot run on this machine kind: the i686 build is checked statically.
