# Collection documents (ARM/TRM): numbering, invoice blocks and the record.
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/arm.h ${CMAKE_CURRENT_LIST_DIR}/arm.cpp)
