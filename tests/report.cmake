# The calculation report: its preparation and PDF, in-process and through stbrelva-cli.
stb_add_test(tst_report SOURCES tst_report.cpp calc_fixture.h LIBS streport)
