# Database maintenance: opening, re-creation, delivered files, upgrades.
if(TARGET sttestsupport)
    stb_add_test(tst_maint SOURCES tst_maint.cpp LIBS sttestsupport)
    add_dependencies(tst_maint engine_child)
endif()
