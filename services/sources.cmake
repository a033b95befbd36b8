list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ServiceRendezvous.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceConnection.cpp)
