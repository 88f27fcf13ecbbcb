# Electronic invoices (NF-e XML): the reader.
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nfe.cpp)
# Scope refusals and the adjusted-margin rate of an annex entry (item dialog and import).
target_sources(stcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/regrasitem.cpp)

# One pass of the NF-e reader over arbitrary bytes: the fuzz target and the
# test that replays its corpus share it.
add_library(stnfefuzz STATIC ${CMAKE_CURRENT_LIST_DIR}/fuzz/nfefuzz.cpp)
target_include_directories(stnfefuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stnfefuzz PUBLIC stb_options stcore)
set(STB_NFE_CORPUS ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus CACHE INTERNAL "")
# libFuzzer target, outside the normal build (STB_FUZZ with clang, see
# platform/medic.cmake); run build/core/fuzz_nfe core/fuzz/corpus -dict=core/fuzz/nfe.dict
if(STB_FUZZ)
    target_compile_options(stcore PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_compile_options(stnfefuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    add_executable(fuzz_nfe ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_nfe.cpp)
    target_link_libraries(fuzz_nfe PRIVATE stnfefuzz)
    target_compile_options(fuzz_nfe PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(fuzz_nfe PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
