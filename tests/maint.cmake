# Database maintenance: opening, re-creation, delivered files, upgrades.
if(TARGET sttestsupport)
    stb_add_test(tst_maint SOURCES tst_maint.cpp LIBS sttestsupport)
    add_dependencies(tst_maint engine_child)
endif()

# Fault test: a restructure and a re-creation killed at random moments.
add_executable(maint_child maint_child.cpp)
target_include_directories(maint_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(maint_child PRIVATE stb_options stshell stedition_unidade)
if(TARGET sttestsupport)
    stb_add_test(tst_maint_fault SOURCES tst_maint_fault.cpp LIBS sttestsupport)
    add_dependencies(tst_maint_fault maint_child)
endif()

# The NBM product search maintenance, with the STProcessNBM tool run for real.
if(TARGET sttestsupport AND TARGET STProcessNBM)
    stb_add_test(tst_nbm SOURCES tst_nbm.cpp LIBS sttestsupport)
    target_compile_definitions(tst_nbm PRIVATE STB_PROCESSNBM="$<TARGET_FILE:STProcessNBM>")
    add_dependencies(tst_nbm engine_child STProcessNBM)
endif()
