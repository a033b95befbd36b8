list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ControlsRecorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ElementClass.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelectOptions.cpp)
