list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Asynchronizer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrHookModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrHookModuleAsync.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleIntf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleServices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageSupports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingSupports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SupportBase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProcessHookModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartupWarnings.cpp)
