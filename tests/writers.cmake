# Workstations writing at once: writer processes adding invoices through the
# data module on a data folder and on a private server (support/pgserver).
add_library(stwritertest STATIC ${CMAKE_CURRENT_LIST_DIR}/support/writerprocs.cpp)
target_include_directories(stwritertest PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stwritertest PUBLIC stb_options stcore stpg Qt6::Core)

add_executable(writer_child writer_child.cpp)
target_include_directories(writer_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(writer_child PRIVATE stb_options stcore stpg stedition_unidade)

stb_add_test(tst_writers SOURCES tst_writers.cpp LIBS stwritertest stpgtest)
add_dependencies(tst_writers writer_child)
