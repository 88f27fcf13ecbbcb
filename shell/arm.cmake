# The main window's collection-document commands.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/trmcommands.h
    ${CMAKE_CURRENT_LIST_DIR}/trmcommands.cpp)
