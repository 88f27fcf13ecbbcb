# stbrelva-cli report: prints a calculation's report to a PDF.
target_sources(stbrelva-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cli_report.cpp)
target_link_libraries(stbrelva-cli PRIVATE streport Qt6::Gui)
