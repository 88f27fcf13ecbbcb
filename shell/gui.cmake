add_library(stshell STATIC
    ${CMAKE_CURRENT_LIST_DIR}/appglobals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/application.cpp
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dbmaint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shortcuts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow_startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/maincommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/maincalc.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formminimiza.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgunidade.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgopcoes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgbasedados.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgatalhos.cpp
)
target_include_directories(stshell PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stshell PUBLIC stb_options stentry stcore Qt6::Widgets Qt6::Network)
if(TARGET stoutputscore)
    target_link_libraries(stshell PUBLIC stoutputscore)
endif()
