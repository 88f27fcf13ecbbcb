# stbrelva-cli quick on 10,000 lines beside compute on the same lines.
add_executable(bench_quick ${CMAKE_CURRENT_LIST_DIR}/bench_quick.cpp)
target_include_directories(bench_quick PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_quick PRIVATE STB_CLI_PATH="$<TARGET_FILE:stbrelva-cli>")
target_link_libraries(bench_quick PRIVATE stb_options Qt6::Core)
add_dependencies(bench_quick stbrelva-cli)
