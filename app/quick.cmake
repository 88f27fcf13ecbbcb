# The "quick" subcommand of the command-line tool.
target_sources(stbrelva-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cli_quick.cpp)
