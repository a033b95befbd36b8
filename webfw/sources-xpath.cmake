# The portable XPath 1.0 engine (its list is shared with the native test
# build).
include(${CMAKE_CURRENT_LIST_DIR}/XPath/engine/sources.cmake)
list(APPEND VX_CORE_SOURCES ${VX_XPATH_ENGINE_SOURCES})
