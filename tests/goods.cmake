# Goods lines: the annex look-up, the margin and rate dialogs, the item
# dialogs and grids, and the annex consultation program.
stb_add_test(tst_goods_core SOURCES tst_goods_core.cpp LIBS sttestsupport)
