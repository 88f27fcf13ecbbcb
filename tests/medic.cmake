# Medicines: archives, workbook writer, price table, download, dialogs.
stb_add_test(tst_zlb SOURCES tst_zlb.cpp LIBS stplatform stzlbfuzz ZLIB::ZLIB)
target_compile_definitions(tst_zlb PRIVATE STB_ZLB_CORPUS="${STB_ZLB_CORPUS}" STB_CLI="$<TARGET_FILE:stbrelva-cli>")
add_dependencies(tst_zlb stbrelva-cli)
stb_add_test(tst_xlswriter SOURCES tst_xlswriter.cpp LIBS stplatform)
target_compile_definitions(tst_xlswriter PRIVATE STB_XLSREAD="${CMAKE_CURRENT_LIST_DIR}/xlsread.py")
stb_add_test(tst_medic SOURCES tst_medic.cpp LIBS stmedic)
stb_add_test(tst_medic_download SOURCES tst_medic_download.cpp support/httpserver.h LIBS stmedic)
target_compile_definitions(tst_medic_download PRIVATE STB_SAMPLE_ZLB="${CMAKE_SOURCE_DIR}/data/TabMedic.zlb")
if(TARGET sttestsupport)
    stb_add_test(tst_medic_gui SOURCES tst_medic_gui.cpp support/httpserver.h LIBS sttestsupport stmedicgui)
    target_compile_definitions(tst_medic_gui PRIVATE STB_SAMPLE_ZLB="${CMAKE_SOURCE_DIR}/data/TabMedic.zlb"
                               STB_XLSREAD="${CMAKE_CURRENT_LIST_DIR}/xlsread.py")
endif()
