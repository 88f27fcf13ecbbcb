# The calculation report: the band engine, the general and medicine forms
# (QtGui only, so the command-line tool prints PDFs without widgets), and the
# print options dialog with the preview (widgets and printing).
find_package(Qt6 REQUIRED COMPONENTS Gui Widgets PrintSupport)

add_library(streport STATIC
    ${CMAKE_CURRENT_LIST_DIR}/bandas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pdfwriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/impressao.cpp
    ${CMAKE_CURRENT_LIST_DIR}/relatoriodados.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formrep.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formrepmedic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exportarelatorio.cpp
)
target_include_directories(streport PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(streport PUBLIC stb_options stcore stoutputscore Qt6::Gui ZLIB::ZLIB)

add_library(streportgui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/dlgprintcalculo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/visualiza.cpp
)
target_include_directories(streportgui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(streportgui PUBLIC stb_options streport stentry Qt6::Widgets Qt6::PrintSupport)
