# Shipped reference data: the pristine tables built by mkdados into
# AppDir/Sys/Dados, the reference settings file, and the tool itself.
stb_add_test(tst_pristine SOURCES tst_pristine.cpp LIBS stcore)
target_compile_definitions(tst_pristine PRIVATE
    STB_PRISTINE_DIR="${CMAKE_BINARY_DIR}/AppDir/Sys/Dados"
    STB_PRISTINE_INI="${CMAKE_BINARY_DIR}/AppDir/STBrelva2.ini"
    STB_MKDADOS="$<TARGET_FILE:mkdados>")
add_dependencies(tst_pristine pristine_data)
