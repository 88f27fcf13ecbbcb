# Data module, item computation, invoice totals and the compute command.
stb_add_test(tst_itemcalc SOURCES tst_itemcalc.cpp LIBS stcore)
stb_add_test(tst_datamodule SOURCES tst_datamodule.cpp calc_fixture.h LIBS stcore)
stb_add_test(tst_totals SOURCES tst_totals.cpp calc_fixture.h LIBS stcore)

# Runs the built command-line tool as a separate process.
stb_add_test(tst_cli_compute SOURCES tst_cli_compute.cpp)
target_compile_definitions(tst_cli_compute PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_cli_compute stbrelva-cli)
stb_add_test(tst_regras SOURCES tst_regras.cpp LIBS stcore)

# One calculation of every kind through compute, report, the rules and quick.
stb_add_test(tst_mesmos_valores SOURCES tst_mesmos_valores.cpp LIBS stcore)
target_compile_definitions(tst_mesmos_valores PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_mesmos_valores stbrelva-cli)
