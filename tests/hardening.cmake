# The entry dialogs from the keyboard, and an invoice dialog held open in one
# process while another one writes to the same data folder.
stb_add_test(tst_entry_keys SOURCES tst_entry_keys.cpp LIBS sttestsupport)

# Second workstation of tst_entry_process: the program with the invoice
# dialog open until the test tells it to go on.
add_executable(entry_child entry_child.cpp)
target_include_directories(entry_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(entry_child PRIVATE stb_options sttestsupport stedition_unidade)
stb_add_test(tst_entry_process SOURCES tst_entry_process.cpp LIBS sttestsupport)
target_compile_definitions(tst_entry_process PRIVATE STB_ENTRY_CHILD="$<TARGET_FILE:entry_child>")
add_dependencies(tst_entry_process entry_child)
