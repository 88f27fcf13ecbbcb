# Restructure of a large table beside a raw SQLite copy.
add_executable(bench_maint ${CMAKE_CURRENT_LIST_DIR}/bench_maint.cpp)
target_include_directories(bench_maint PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_maint PRIVATE stb_options stshell stedition_unidade SQLite::SQLite3)
