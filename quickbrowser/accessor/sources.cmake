# The accessor: native DOM access through the renderer's native object, and
# the quick-browser options it keeps.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QuickBrowserOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OffRendererWorker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RawBrowserHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ElementAttributes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RawBrowserAccessors.cpp)
