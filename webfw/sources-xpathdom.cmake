# XPath over the live DOM: the navigator over the native model and the
# evaluator with its result conversion.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/XPath/XPathDomNavigator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XPath/XPathEvaluator.cpp)
