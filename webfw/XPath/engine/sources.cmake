# Sources of the portable XPath 1.0 engine, shared by the Windows build and
# the native test build.
set(VX_XPATH_ENGINE_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(VX_XPATH_ENGINE_SOURCES
    "${CMAKE_CURRENT_LIST_DIR}/XPathAst.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathAxes.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathBlankString.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathChildrenOfDescendants.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathError.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathError.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathExpression.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathExpression.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathFunctions.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathLexer.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathLexer.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathNavigator.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathNavigator.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathNode.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathOperators.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathParser.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathParser.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathPath.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathResolvers.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathSiblingSteps.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathText.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathText.h"
    "${CMAKE_CURRENT_LIST_DIR}/XPathValue.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/XPathValue.h"
)
