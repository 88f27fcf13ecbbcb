# Workstations, close requests, news pages, tips, the tray window, update
# launching and error reports.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/stations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/closesystem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgfechatodos.cpp
    ${CMAKE_CURRENT_LIST_DIR}/noticias.cpp
    ${CMAKE_CURRENT_LIST_DIR}/vocesabia.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atualizacao.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trayapp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crashreport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/estacaocommands.cpp
)
target_link_libraries(stshell PUBLIC Qt6::PrintSupport)
