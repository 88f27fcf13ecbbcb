add_executable(bench_bareqt ${CMAKE_CURRENT_LIST_DIR}/bareqt.cpp)
target_link_libraries(bench_bareqt PRIVATE stb_options Qt6::Widgets)

add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_include_directories(bench_startup PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_startup PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
target_link_libraries(bench_startup PRIVATE stb_options stcore stedition_unidade)
add_dependencies(bench_startup bench_bareqt STBrelvaApp pristine_data)
