# Goods lines: the annex look-up, the margin and rate dialogs, the item
# dialogs and grids, and the annex consultation program.
stb_add_test(tst_goods_core SOURCES tst_goods_core.cpp LIBS sttestsupport)
stb_add_test(tst_goods_dialogs SOURCES tst_goods_dialogs.cpp LIBS sttestsupport)
stb_add_test(tst_goods_items SOURCES tst_goods_items.cpp LIBS sttestsupport)
target_compile_definitions(tst_goods_items PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_goods_items stbrelva-cli)
# The annex program's window here, and the real program started from the
# built installation.
stb_add_test(tst_goods_brelva SOURCES tst_goods_brelva.cpp LIBS sttestsupport stbrelvaprog)
target_compile_definitions(tst_goods_brelva PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
add_dependencies(tst_goods_brelva Brelva)
stb_add_test(tst_goods_contribuinte SOURCES tst_goods_contribuinte.cpp LIBS sttestsupport CONTRIBUINTE)
