# Header-only libraries from Debian, reached through a folder of symlinks so
# that /usr/include itself never enters the cross compiler's search path.
set(VX_THIRDPARTY_DIR ${CMAKE_BINARY_DIR}/thirdparty-include)
file(MAKE_DIRECTORY ${VX_THIRDPARTY_DIR})
foreach(name boost nlohmann)
  if(EXISTS /usr/include/${name} AND NOT EXISTS ${VX_THIRDPARTY_DIR}/${name})
    file(CREATE_LINK /usr/include/${name} ${VX_THIRDPARTY_DIR}/${name} SYMBOLIC)
  endif()
endforeach()
add_library(vx_thirdparty INTERFACE)
target_include_directories(vx_thirdparty SYSTEM INTERFACE ${VX_THIRDPARTY_DIR})

# GoogleTest and GoogleMock from Debian's sources, built with this toolchain.
function(vx_add_googletest)
  if(TARGET gtest)
    return()
  endif()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
