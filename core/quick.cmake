# The quick calculation's lists and rules (shared by its window and the command-line tool).
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/calcrapido.cpp)
