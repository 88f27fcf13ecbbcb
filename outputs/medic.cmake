# Medicine table, its download, the chooser and update dialogs, and the annex
# export. stmedic holds what needs no widgets (the table, the download, the
# workbook contents); stmedicgui the dialogs.
add_library(stmedic STATIC
    ${CMAKE_CURRENT_LIST_DIR}/medic.h
    ${CMAKE_CURRENT_LIST_DIR}/medic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/medicdownload.h
    ${CMAKE_CURRENT_LIST_DIR}/medicdownload.cpp
    ${CMAKE_CURRENT_LIST_DIR}/medicexport.cpp
)
target_include_directories(stmedic PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stmedic PUBLIC stb_options stcore Qt6::Core Qt6::Network)

add_library(stmedicgui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/dlgescolhemedic.h
    ${CMAKE_CURRENT_LIST_DIR}/dlgescolhemedic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgatualizatabmedic.h
    ${CMAKE_CURRENT_LIST_DIR}/dlgatualizatabmedic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlggeratabelanbm.h
    ${CMAKE_CURRENT_LIST_DIR}/dlggeratabelanbm.cpp
)
target_include_directories(stmedicgui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stmedicgui PUBLIC stb_options stmedic stentry Qt6::Widgets)
