# Workstation services: exclusive use of a file, reachability of a host.
target_sources(stplatform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/exclusivefile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/alcance.cpp
)
