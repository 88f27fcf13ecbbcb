# The main window's quick calculation command.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/quickcommands.h
    ${CMAKE_CURRENT_LIST_DIR}/quickcommands.cpp)
