# NF-e import of 1,000 files of 20 lines beside a bare QXmlStreamReader read.
add_executable(bench_nfe ${CMAKE_CURRENT_LIST_DIR}/bench_nfe.cpp)
target_include_directories(bench_nfe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_nfe PRIVATE STB_APPDIR="${CMAKE_BINARY_DIR}/AppDir")
target_link_libraries(bench_nfe PRIVATE stb_options stnfe stedition_unidade)
add_dependencies(bench_nfe pristine_data)
