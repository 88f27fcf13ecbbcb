# Electronic invoices (NF-e XML): the reader.
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nfe.cpp)


