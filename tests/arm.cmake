# Collection documents: numbering, runs, blocks, the record and the key.
stb_add_test(tst_arm SOURCES tst_arm.cpp LIBS stcore)
if(TARGET sttestsupport)
    # The SBTrm menu and the key handed to a stand-in collection-document program.
    stb_add_test(tst_arm_gui SOURCES tst_arm_gui.cpp LIBS sttestsupport)
endif()
