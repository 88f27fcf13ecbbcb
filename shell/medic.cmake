# The main window's medicine commands.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/mediccommands.h
    ${CMAKE_CURRENT_LIST_DIR}/mediccommands.cpp)
target_link_libraries(stshell PUBLIC stmedicgui)
