# The PostgreSQL side of the engine binding, each program against its own
# private server (support/pgserver: initdb and pg_ctl into a temporary
# folder, Unix socket only). The server programs come from Debian's
# postgresql package; a machine without them fails these tests.
add_library(stpgtest STATIC ${CMAKE_CURRENT_LIST_DIR}/support/pgserver.cpp)
target_include_directories(stpgtest PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stpgtest PUBLIC stb_options stpg Qt6::Core)

# Second process of the lock tests: holds a semaphore or an open until killed.
add_executable(pg_child pg_child.cpp)
target_include_directories(pg_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(pg_child PRIVATE stb_options stpg)

stb_add_test(tst_pg_conn SOURCES tst_pg_conn.cpp LIBS stpgtest)
add_dependencies(tst_pg_conn pg_child)
stb_add_test(tst_pg_sql SOURCES tst_pg_sql.cpp LIBS stpgtest stcore)

# Migration between a data folder and the server: the command-line tool on
# the pristine tables and on a generated folder, and failures midway.
stb_add_test(tst_cli_db SOURCES tst_cli_db.cpp LIBS stpgtest stcore)
target_compile_definitions(tst_cli_db PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>"
                                              STB_PRISTINE_DIR="${CMAKE_BINARY_DIR}/AppDir/Sys/Dados")
add_dependencies(tst_cli_db stbrelva-cli stbrelva-db pristine_data)

# The engine's backend-neutral tests again on the server: the same sources
# built with STB_TEST_SERVER (tests/support/teststorage.h); cases that only a
# data folder has report themselves skipped.
function(stb_add_server_test name source)
    cmake_parse_arguments(S "" "" "LIBS" ${ARGN})
    stb_add_test(${name} SOURCES ${source} LIBS stpgtest ${S_LIBS})
    target_compile_definitions(${name} PRIVATE STB_TEST_SERVER)
endfunction()
stb_add_server_test(tst_engine_pg tst_engine.cpp)
stb_add_server_test(tst_engine_sql_pg tst_engine_sql.cpp LIBS stcore)
stb_add_server_test(tst_datamodule_pg tst_datamodule.cpp LIBS stcore)
stb_add_server_test(tst_totals_pg tst_totals.cpp LIBS stcore)
stb_add_server_test(tst_engine_rollback_pg tst_engine_rollback.cpp)
