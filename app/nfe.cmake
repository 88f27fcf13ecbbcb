# stbrelva-cli nfe: imports NF-e files into a calculation and compares the ST.
target_sources(stbrelva-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cli_nfe.cpp)
target_link_libraries(stbrelva-cli PRIVATE stnfe)
