# Dialog foundation and entry dialogs (widgets).
add_library(stentry STATIC
    ${CMAKE_CURRENT_LIST_DIR}/msgbox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/traducoes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formdlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datasetmodel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dbgrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formdlggrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cadempresa.cpp
    ${CMAKE_CURRENT_LIST_DIR}/escolhecalculo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cadastro.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dbcontrols.cpp
    ${CMAKE_CURRENT_LIST_DIR}/auditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calculoespecial.cpp
    ${CMAKE_CURRENT_LIST_DIR}/partes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgnovocalculo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgnovanf.cpp
    ${CMAKE_CURRENT_LIST_DIR}/resources/entry.qrc
)
set_target_properties(stentry PROPERTIES AUTORCC ON)
target_include_directories(stentry PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stentry PUBLIC stb_options stcore Qt6::Widgets)
target_link_libraries(stentry PUBLIC stentrycore stoutputscore)
