# Commands on invoice lines and the annex, in the main window.
target_sources(stshell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/itemcommands.cpp)

# The annex consultation program's window (the Brelva executable, app/goods.cmake).
add_library(stbrelvaprog STATIC ${CMAKE_CURRENT_LIST_DIR}/formbrelva.cpp)
target_include_directories(stbrelvaprog PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stbrelvaprog PUBLIC stb_options stentry stcore Qt6::Widgets)
