# Outputs code without widgets: the special-regime look-ups.
# The regime names ship as data/regimes.txt, compiled in as a string.
set(STB_REGIMES_FILE ${CMAKE_SOURCE_DIR}/data/regimes.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${STB_REGIMES_FILE})
file(READ ${STB_REGIMES_FILE} STB_REGIMES_TEXT)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/regimes_data.cpp
     CONTENT "// Generated from data/regimes.txt by the build.\nnamespace stb {\nextern const char kNomesRegimesPadrao[];\nconst char kNomesRegimesPadrao[] = R\"STB(@STB_REGIMES_TEXT@)STB\";\n}\n"
     @ONLY)

add_library(stoutputscore STATIC
    ${CMAKE_CURRENT_LIST_DIR}/regimes.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/regimes_data.cpp
)
target_include_directories(stoutputscore PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stoutputscore PUBLIC stb_options stcore Qt6::Core)
