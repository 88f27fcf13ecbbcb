# Workstations, close requests, news, the tray window, update launching and
# error reports: in one process, and with the program as real processes.
stb_add_test(tst_ws SOURCES tst_ws.cpp LIBS sttestsupport)
