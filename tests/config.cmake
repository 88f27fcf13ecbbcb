# Configuration, dated values, document numbers, margins and special regimes.

# Settings in both editions; the second process writes through its own objects.
add_executable(settings_child settings_child.cpp)
target_include_directories(settings_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(settings_child PRIVATE stb_options stcore stedition_unidade)
stb_add_test(tst_settings SOURCES tst_settings.cpp LIBS stcore)
stb_add_test(tst_settings_contribuinte SOURCES tst_settings.cpp LIBS stcore CONTRIBUINTE)
add_dependencies(tst_settings settings_child)
add_dependencies(tst_settings_contribuinte settings_child)

stb_add_test(tst_datedvalues SOURCES tst_datedvalues.cpp LIBS stcore)
stb_add_test(tst_documents SOURCES tst_documents.cpp LIBS stentrycore)
stb_add_test(tst_margins SOURCES tst_margins.cpp LIBS stentrycore)
stb_add_test(tst_regimes SOURCES tst_regimes.cpp LIBS stoutputscore)

stb_add_test(tst_cli_validate SOURCES tst_cli_validate.cpp LIBS Qt6::Core)
target_compile_definitions(tst_cli_validate PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_cli_validate stbrelva-cli)
