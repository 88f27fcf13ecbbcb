# The medicine item dialog and its list choice (on the base item dialog).
target_sources(stmedicgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/dlgitemmedic.h
    ${CMAKE_CURRENT_LIST_DIR}/dlgitemmedic.cpp)
# The quick calculation window and its type dialog.
target_sources(stmedicgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/formcalcrapido.h
    ${CMAKE_CURRENT_LIST_DIR}/formcalcrapido.cpp)
