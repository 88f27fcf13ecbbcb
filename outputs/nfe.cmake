# The comparison of imported NF-e as a section of the calculation report and
# as a spreadsheet.
target_sources(streport PRIVATE ${CMAKE_CURRENT_LIST_DIR}/comparanfe.h ${CMAKE_CURRENT_LIST_DIR}/comparanfe.cpp)
target_link_libraries(streport PUBLIC stnfe)
