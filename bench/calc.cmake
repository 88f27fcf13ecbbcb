# Item computation and invoice totals of a 500 x 20 calculation beside raw SQLite.
add_executable(bench_calc ${CMAKE_CURRENT_LIST_DIR}/bench_calc.cpp)
target_include_directories(bench_calc PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_calc PRIVATE stb_options stcore stedition_unidade SQLite::SQLite3)

# stbrelva-cli compute at 500 x 20 and 5,000 x 20 lines beside raw SQLite.
add_executable(bench_compute ${CMAKE_CURRENT_LIST_DIR}/bench_compute.cpp)
target_include_directories(bench_compute PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_compute PRIVATE stb_options Qt6::Core SQLite::SQLite3)
add_dependencies(bench_compute stbrelva-cli)
