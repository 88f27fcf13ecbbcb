# .zlb archives and the .xls workbook writer (QtCore and zlib only).
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/zlbarchive.h
    ${CMAKE_CURRENT_LIST_DIR}/zlbarchive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xlswriter.cpp)

# One pass of the archive reader over arbitrary bytes: the fuzz target and the
# test that replays its corpus share it.
add_library(stzlbfuzz STATIC ${CMAKE_CURRENT_LIST_DIR}/fuzz/zlbfuzz.cpp)
target_include_directories(stzlbfuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(stzlbfuzz PUBLIC stb_options stplatform)
set(STB_ZLB_CORPUS ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus CACHE INTERNAL "")

# libFuzzer target, outside the normal build: configure with clang and
#   -DSTB_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
# then run build/platform/fuzz_zlb platform/fuzz/corpus -dict=platform/fuzz/zlb.dict
option(STB_FUZZ "Build the libFuzzer target of the .zlb reader (clang)" OFF)
if(STB_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "STB_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
    endif()
    target_compile_options(stplatform PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_compile_options(stzlbfuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    add_executable(fuzz_zlb ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_zlb.cpp)
    target_link_libraries(fuzz_zlb PRIVATE stzlbfuzz)
    target_compile_options(fuzz_zlb PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(fuzz_zlb PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
