list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/StubManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TypeLibraryRegistry.cpp)
# Error conventions, the structured-exception guard and the dispatch wrappers.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EventLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FatalErrorReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExceptionGuard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvokeException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DispHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DispDriver.cpp)
# Dynamic dispatch objects, the hook-module base, naming schemas and monikers.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MultiDispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PropertyValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DispatchMixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustomDispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HookModuleSupports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ObjectNamingSchema.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ObjectNamingImpl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HookObjectWithMonikerAndInstance.cpp)
