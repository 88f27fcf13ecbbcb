# The calculation report: its preparation and PDF, in-process and through stbrelva-cli.
stb_add_test(tst_report SOURCES tst_report.cpp calc_fixture.h LIBS streport)

# Runs the built command-line tool as a separate process.
stb_add_test(tst_cli_report SOURCES tst_cli_report.cpp)
target_compile_definitions(tst_cli_report PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_cli_report stbrelva-cli)

# The print command in the main window, with the dialog and the preview.
stb_add_test(tst_report_gui SOURCES tst_report_gui.cpp LIBS sttestsupport)

# The preview's spreadsheet and RTF exports, read back by python3-xlrd and unrtf.
stb_add_test(tst_report_export SOURCES tst_report_export.cpp calc_fixture.h xlsread.h LIBS streport)
target_compile_definitions(tst_report_export PRIVATE STB_XLSREAD="${CMAKE_CURRENT_LIST_DIR}/xlsread.py")

# The report's PDF writer read back by qpdf, pdfinfo and pdftotext.
stb_add_test(tst_report_pdf SOURCES tst_report_pdf.cpp LIBS streport)
