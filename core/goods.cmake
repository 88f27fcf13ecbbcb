# Annex item look-up (local and through the annex consultation program).
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/annexlookup.cpp)
