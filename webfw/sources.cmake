# The browser-independent web object framework. (The XPath engine lists its
# own sources.)
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Recognizing/Recognizers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Recognizing/RecognizedNode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DOMModel/UniqueNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DOMModel/DOMNodeStringIdEvaluator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DOMModel/DOMModelWalks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DOMModel/UrlNameParts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DOMModel/NodeNamePropStrEvaluator.cpp)
