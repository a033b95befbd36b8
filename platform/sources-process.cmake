# What every layer may read of the process: its command line and Chrome
# process kind, the process options store with its keys, the window-thread
# call time-out.
list(APPEND VX_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/process/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process/ChromeProcess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process/ProcessOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process/WindowThreadTimeout.cpp)
