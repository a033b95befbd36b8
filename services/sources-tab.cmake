list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ChromeWindowClasses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChromeWindowObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HookTab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HookTabInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoadWaitEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QuickBrowserRemote.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TabOptionPush.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TabWindowLookup.cpp)
