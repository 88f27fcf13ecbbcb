# Collection documents: numbering, runs, blocks, the record and the key.
stb_add_test(tst_arm SOURCES tst_arm.cpp LIBS stcore)
