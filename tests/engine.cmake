# Durability of the engine's files: kills at random and at every step of a
# rebuild, damaged files, eight writers at once (child processes: engine_child).
stb_add_test(tst_engine_faults SOURCES tst_engine_faults.cpp LIBS stplatform)
add_dependencies(tst_engine_faults engine_child)

# The page reader that salvages rows: sound files of every shape, hostile bytes.
stb_add_test(tst_engine_salvage SOURCES tst_engine_salvage.cpp LIBS stplatform)
