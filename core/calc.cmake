# Data module, item computation and invoice totals.
target_sources(stcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/datamodule.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tableguard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expressao.cpp
    ${CMAKE_CURRENT_LIST_DIR}/regras.cpp
    ${CMAKE_CURRENT_LIST_DIR}/itemcalc.cpp
    ${CMAKE_CURRENT_LIST_DIR}/totals.cpp
)
