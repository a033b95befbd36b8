list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ChildTestObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ControlObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DomTestObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HookObjectCore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LightTestObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ObjectNaming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageChildObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageTestObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QuickBrowserCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QuickListener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeTestObjects.cpp)
