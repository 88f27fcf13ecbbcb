# The page reader that salvages rows: sound files of every shape, hostile bytes.
stb_add_test(tst_engine_salvage SOURCES tst_engine_salvage.cpp LIBS stplatform)
