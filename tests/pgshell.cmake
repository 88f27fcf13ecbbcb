# The program on a PostgreSQL server (private server of support/pgserver):
# the database dialog's connection test and OK, the first start on an empty
# server database, and a start against a stopped server.
stb_add_test(tst_pg_shell SOURCES tst_pg_shell.cpp LIBS sttestsupport stpgtest)
target_compile_definitions(tst_pg_shell PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
add_dependencies(tst_pg_shell STBrelvaApp)
