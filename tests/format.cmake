# The program's text formatting through the system's C runtime.
vt_add_test(format_test SOURCES tests/format_test.cpp LIBS vtcore ${VT_SYSTEM_LIBS})
