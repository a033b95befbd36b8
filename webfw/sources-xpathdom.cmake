# XPath over the live DOM: the navigator over the native model, the
# evaluator with its result conversion, and the Chrome node handler and
# evaluation entry.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/XPath/XPathDomNavigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XPath/XPathEvaluator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XPath/CrFwXPathEvaluatedNodeHandler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XPath/CrFwElementByIdProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XPath/CrFwXPathEvaluation.cpp)
