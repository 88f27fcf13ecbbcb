# The medicine item dialog; the quick calculation; collection documents.
if(TARGET sttestsupport)
    stb_add_test(tst_medic_items SOURCES tst_medic_items.cpp LIBS sttestsupport stmedicgui)
    target_compile_definitions(tst_medic_items PRIVATE STB_SAMPLE_ZLB="${CMAKE_SOURCE_DIR}/data/TabMedic.zlb"
                               STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
    add_dependencies(tst_medic_items stbrelva-cli)
    stb_add_test(tst_quick_gui SOURCES tst_quick_gui.cpp LIBS sttestsupport stmedicgui)
endif()
stb_add_test(tst_quick SOURCES tst_quick.cpp LIBS stcore)
target_compile_definitions(tst_quick PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_quick stbrelva-cli)
