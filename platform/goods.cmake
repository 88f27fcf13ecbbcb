# The annex consultation program as its users see it (start, requests, close).
target_sources(stplatform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/annexconsult.cpp)
