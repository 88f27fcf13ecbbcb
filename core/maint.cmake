# Database maintenance in the core: the NBM product search table.
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/produtosnbm.cpp)
