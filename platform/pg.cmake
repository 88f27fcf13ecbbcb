# The PostgreSQL side of the engine binding over libpq (Debian's libpq-dev):
# connection, error codes, value texts, the tables on the server and the
# translation of the engine's SQL.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/db/pgvalue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgerrors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgconn.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgschema.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgtranslate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/pgmigrate.cpp
)
target_link_libraries(stplatform PRIVATE PkgConfig::LIBPQ)
