# The report commands of the main window.
target_sources(stshell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mainreport.cpp)
target_link_libraries(stshell PUBLIC streportgui)
