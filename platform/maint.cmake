# Database maintenance: copies that never leave half a file, and what the
# checks before opening need of the engine.
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/filecopy.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db/openprobe.cpp)
