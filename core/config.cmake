# Configuration: dated values of the reference settings (rates and messages).
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/datedvalues.cpp)
