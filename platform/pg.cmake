# The PostgreSQL side of the engine binding over libpq (Debian's libpq-dev):
# connection, error codes, value texts, the tables on the server and the
# translation of the engine's SQL. A library of its own, so that only what
# talks to a server loads libpq and its network and security libraries.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
add_library(stpg STATIC
    ${CMAKE_CURRENT_LIST_DIR}/db/pgvalue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgerrors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgconn.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgschema.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgtranslate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgmigrate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgbackend.cpp
)
target_include_directories(stpg PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stpg PUBLIC stb_options stplatform PRIVATE PkgConfig::LIBPQ)

# The first load of a server database from the installation's pristine tables.
target_sources(stpg PRIVATE ${CMAKE_CURRENT_LIST_DIR}/db/pgpristine.cpp)
