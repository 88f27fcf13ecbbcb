# Workstations, close requests, news, the tray window, update launching and
# error reports: in one process, and with the program as real processes.
stb_add_test(tst_ws SOURCES tst_ws.cpp LIBS sttestsupport)

# Child program that dies of a fatal signal with the handlers installed.
add_executable(ws_child ws_child.cpp)
target_include_directories(ws_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(ws_child PRIVATE stb_options stshell stedition_unidade)
stb_add_test(tst_ws_process SOURCES tst_ws_process.cpp LIBS sttestsupport)
target_compile_definitions(tst_ws_process PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
add_dependencies(tst_ws_process STBrelvaApp ws_child)

# The main window's workstation parts, in both editions.
stb_add_test(tst_ws_main SOURCES tst_ws_main.cpp LIBS sttestsupport)
stb_add_test(tst_ws_main_contribuinte SOURCES tst_ws_main.cpp LIBS sttestsupport CONTRIBUINTE)
