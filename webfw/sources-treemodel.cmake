# The Tree model.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TreeModel/TreeItemTypes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeModel/TreeItemRecognizer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeModel/TableCellIds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeModel/TreeItemStringId.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeModel/TreeItemsBuild.cpp)
