# The main window's NF-e commands.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/nfecommands.h
    ${CMAKE_CURRENT_LIST_DIR}/nfecommands.cpp)
target_link_libraries(stshell PUBLIC stnfegui)
