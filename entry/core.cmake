# Entry workflow code without widgets: document numbers and margin
# arithmetic (the dialogs and the command-line tool use them).
add_library(stentrycore STATIC
    ${CMAKE_CURRENT_LIST_DIR}/documents.cpp
    ${CMAKE_CURRENT_LIST_DIR}/margins.cpp
)
target_include_directories(stentrycore PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stentrycore PUBLIC stb_options stcore Qt6::Core)
