# Electronic invoices (NF-e XML): the reader.
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nfe.cpp)
# Scope refusals and the adjusted-margin rate of an annex entry (item dialog and import).
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/regrasitem.cpp)
