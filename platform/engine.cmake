# The database engine binding, one file per class or concern (database.cpp
# and the helpers before it are listed in CMakeLists.txt).
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/db/sqlfunctions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/fileconn.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/schemasql.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/tablemeta.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/tableattach.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/tablelocks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/tablefiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/rebuild.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/snapshot.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/field.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/datasetbase.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/query.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/memtable.cpp
)
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/db/faultpoint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/filereplace.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/recovery.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/salvage.cpp
)
