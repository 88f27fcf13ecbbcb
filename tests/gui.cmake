# Test support shared by the GUI tests: a temporary installation and helpers
# to drive modal dialogs.
add_library(sttestsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/support/testenv.cpp)
target_include_directories(sttestsupport PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(sttestsupport PUBLIC stb_options stshell Qt6::Test)
target_compile_definitions(sttestsupport PRIVATE
    STB_PRISTINE_DIR="${CMAKE_BINARY_DIR}/AppDir/Sys/Dados"
    STB_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
if(TARGET pristine_data)
    add_dependencies(sttestsupport pristine_data)
endif()

stb_add_test(tst_shell SOURCES tst_shell.cpp LIBS sttestsupport)
add_dependencies(tst_shell engine_child)
stb_add_test(tst_shell_process SOURCES tst_shell_process.cpp LIBS sttestsupport)
target_compile_definitions(tst_shell_process PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
add_dependencies(tst_shell_process STBrelvaApp STBrelva)
stb_add_test(tst_entry SOURCES tst_entry.cpp LIBS sttestsupport)
stb_add_test(tst_shell_entry SOURCES tst_shell_entry.cpp LIBS sttestsupport)
stb_add_test(tst_shell_keys SOURCES tst_shell_keys.cpp LIBS sttestsupport)
stb_add_test(tst_keyboard_day SOURCES tst_keyboard_day.cpp LIBS sttestsupport)
stb_add_test(tst_translations SOURCES tst_translations.cpp LIBS stentry Qt6::PrintSupport)
