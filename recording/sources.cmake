list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ControlsRecorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ElementClass.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegExpModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelectOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebControlDetection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebObjectClassInfo.cpp)
