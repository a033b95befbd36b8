list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/InformationRecords.cpp)
