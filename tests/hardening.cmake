# The entry dialogs from the keyboard, and an invoice dialog held open in one
# process while another one writes to the same data folder.
stb_add_test(tst_entry_keys SOURCES tst_entry_keys.cpp LIBS sttestsupport)
