# Goods lines: the item dialogs (general and fuel), the MVA and rate dialogs,
# the HTML message window and the reference-table grids.
target_sources(stentry PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/currencyedit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgescolhemva.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgmvaajustada.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlghtmlmsg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgitembase.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgitem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dlgitemcombustivel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pmpfgrids.cpp
)
