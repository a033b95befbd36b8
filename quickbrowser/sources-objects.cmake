# The quick-browser objects: the page, DOM-model and Tree-model objects with
# their geometry, the builders and searches, the quick browser and the
# extender the Chrome component talks to.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/objects/QuickBrowserObjectBase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/InDocumentControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/ControlRecognition.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/ControlEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/ScriptCallbackRelay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/FrameObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/WindowMetrics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/DomObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/TreeObjects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/ObjectBuilders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/Instances.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/ObjectSearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/QuickBrowser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/objects/RawBrowserExtender.cpp)
