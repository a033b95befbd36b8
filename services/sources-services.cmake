list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BrowserServiceRemote.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceNotifiers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TabsServiceRemote.cpp)
