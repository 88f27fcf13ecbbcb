# Medicine table and .zlb extraction beside raw SQLite and zlib.
add_executable(bench_medic ${CMAKE_CURRENT_LIST_DIR}/bench_medic.cpp)
target_include_directories(bench_medic PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_medic PRIVATE stb_options stmedic stedition_unidade SQLite::SQLite3 ZLIB::ZLIB)
