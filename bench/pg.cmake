# The engine on a private PostgreSQL server beside raw libpq, and concurrent
# writer processes on a data folder and on the server.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_LIBPQ REQUIRED IMPORTED_TARGET libpq)
add_executable(bench_engine_pg ${CMAKE_CURRENT_LIST_DIR}/bench_engine_pg.cpp)
target_include_directories(bench_engine_pg PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_engine_pg PRIVATE stb_options stpgtest PkgConfig::BENCH_LIBPQ)

add_executable(bench_writers ${CMAKE_CURRENT_LIST_DIR}/bench_writers.cpp)
target_include_directories(bench_writers PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_writers PRIVATE stb_options stwritertest stpgtest stedition_unidade)
target_compile_definitions(bench_writers PRIVATE STB_WRITER_CHILD="$<TARGET_FILE:writer_child>")
add_dependencies(bench_writers writer_child)
