# Brelva, the annex consultation program, staged beside the main program in
# both installations (the main program starts it from its own folder).
add_executable(Brelva brelva.cpp)
target_include_directories(Brelva PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Brelva PRIVATE stb_options stbrelvaprog stedition_unidade)
set_target_properties(Brelva PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STB_APPDIR}/Sys)
add_custom_command(TARGET Brelva POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${STB_APPDIR_CONTRIB}/Sys
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Brelva> ${STB_APPDIR_CONTRIB}/Sys/
    COMMENT "Staging Brelva in the taxpayer installation")
add_dependencies(STBrelvaApp Brelva)
add_dependencies(STBrelvaAppContribuinte Brelva)
