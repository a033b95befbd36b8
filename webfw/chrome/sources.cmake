# The Chrome adapters of the web framework: recognizers, the native model,
# enumerators, DOM-model and Tree-model adapters, XPath's node handler,
# element-by-id provider and evaluation entry, all over the accessor.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CrFwRecognizers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwNativeModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwEnumerators.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwWalkReads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwDOMModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwTreeModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwXPathEvaluatedNodeHandler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwElementByIdProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwXPathEvaluation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrFwAdapters.cpp)
