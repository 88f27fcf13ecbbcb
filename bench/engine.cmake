# Repair of a 100,000-row table with a damaged leaf page beside raw SQLite reading the same rows.
add_executable(bench_repair ${CMAKE_CURRENT_LIST_DIR}/bench_repair.cpp)
target_include_directories(bench_repair PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_repair PRIVATE stb_options stplatform)
