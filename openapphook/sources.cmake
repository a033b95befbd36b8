list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/StubManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TypeLibraryRegistry.cpp)
