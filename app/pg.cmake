# The "db" subcommand of the command-line tool: migration between a data
# folder and a PostgreSQL server.
target_sources(stbrelva-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cli_db.cpp)
