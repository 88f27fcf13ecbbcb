# The "db" subcommand of the command-line tool (migration between a data
# folder and a PostgreSQL server) is a program of its own beside
# stbrelva-cli, which hands "db" over to it: the other subcommands then start
# without loading libpq and the libraries it brings.
add_executable(stbrelva-db db_main.cpp cli_db.cpp)
target_include_directories(stbrelva-db PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(stbrelva-db PRIVATE stb_options stcore stpg)
add_dependencies(stbrelva-cli stbrelva-db)
