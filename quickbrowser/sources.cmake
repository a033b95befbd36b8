list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QuickBrowserOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RawBrowserHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RawBrowserAccessors.cpp)
