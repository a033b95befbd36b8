# The page object's XPath entry: evaluation on the renderer thread.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/XPathOnRendererThread.cpp)
