# Database maintenance: the checks before the tables open, re-creation,
# reindex, structure and configuration upgrades, the NBM product search.
target_sources(stshell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/datafiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dbopen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modifystruct.cpp
    ${CMAKE_CURRENT_LIST_DIR}/nbm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upgrades.cpp)

# Tables on a PostgreSQL server: the program links the server client (stpg);
# the command-line tool does not, as it does not link this library.
target_sources(stshell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/servidor.cpp)
target_link_libraries(stshell PUBLIC stpg)
