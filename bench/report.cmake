# The calculation report of 500 x 20 lines to PDF beside the compute pass.
add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp)
target_include_directories(bench_report PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_report PRIVATE stb_options streport stedition_unidade Qt6::Gui)
