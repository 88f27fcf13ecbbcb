# STProcessNBM, the NBM product search rebuild tool, staged beside the program.
add_executable(STProcessNBM stprocessnbm.cpp)
target_include_directories(STProcessNBM PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(STProcessNBM PRIVATE stb_options stcore stentry stedition_unidade Qt6::Widgets)
set_target_properties(STProcessNBM PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STB_APPDIR}/Sys)
add_dependencies(STBrelvaApp STProcessNBM)
