# Dialog foundation and entry dialogs (widgets).
add_library(stentry STATIC
    ${CMAKE_CURRENT_LIST_DIR}/msgbox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formdlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/datasetmodel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dbgrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formdlggrid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cadempresa.cpp
    ${CMAKE_CURRENT_LIST_DIR}/escolhecalculo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cadastro.cpp
)
target_include_directories(stentry PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stentry PUBLIC stb_options stcore Qt6::Widgets)
if(TARGET stentrycore)
    target_link_libraries(stentry PUBLIC stentrycore)
endif()
