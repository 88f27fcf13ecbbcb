# Electronic invoices: the import into a calculation and the comparison of the
# declared and computed ST (no widgets; the dialogs and the command-line tool
# share it).
add_library(stnfe STATIC ${CMAKE_CURRENT_LIST_DIR}/nfeimporta.cpp)
target_include_directories(stnfe PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stnfe PUBLIC stb_options stentrycore stmedic Qt6::Core)

# The review and comparison dialogs of an import.
add_library(stnfegui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/dlgimportanfe.h
    ${CMAKE_CURRENT_LIST_DIR}/dlgimportanfe.cpp)
target_include_directories(stnfegui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stnfegui PUBLIC stb_options stnfe streport stentry Qt6::Widgets)
