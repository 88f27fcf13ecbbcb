# Electronic invoices: the reader, the import into a calculation with the
# comparison of declared and computed ST, and the command-line subcommand.
set(STB_NFE_DATA ${CMAKE_CURRENT_LIST_DIR}/data/nfe)
stb_add_test(tst_nfe_leitor SOURCES tst_nfe_leitor.cpp LIBS stcore stnfefuzz)
target_compile_definitions(tst_nfe_leitor PRIVATE STB_NFE_DATA="${STB_NFE_DATA}" STB_NFE_CORPUS="${STB_NFE_CORPUS}")
stb_add_test(tst_nfe_importa SOURCES tst_nfe_importa.cpp LIBS sttestsupport stnfe)
target_compile_definitions(tst_nfe_importa PRIVATE STB_NFE_DATA="${STB_NFE_DATA}")
stb_add_test(tst_nfe_cli SOURCES tst_nfe_cli.cpp)
target_compile_definitions(tst_nfe_cli PRIVATE STB_NFE_DATA="${STB_NFE_DATA}" STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>"
                           STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
add_dependencies(tst_nfe_cli stbrelva-cli pristine_data)
stb_add_test(tst_nfe_gui SOURCES tst_nfe_gui.cpp LIBS sttestsupport stnfegui)
target_compile_definitions(tst_nfe_gui PRIVATE STB_NFE_DATA="${STB_NFE_DATA}")
# The comparison as a section of the calculation report (PDF read back with
# pdftotext) and as a spreadsheet (read back with python3-xlrd).
stb_add_test(tst_nfe_relatorio SOURCES tst_nfe_relatorio.cpp xlsread.h LIBS sttestsupport streport)
target_compile_definitions(tst_nfe_relatorio PRIVATE STB_NFE_DATA="${STB_NFE_DATA}" STB_XLSREAD="${CMAKE_CURRENT_LIST_DIR}/xlsread.py")
