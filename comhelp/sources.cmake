list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ComAwareWait.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComHelpWrappers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComHelpProxy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GlobalInterfaceCookie.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MtaCachedInterface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowThreadRunner.cpp)
