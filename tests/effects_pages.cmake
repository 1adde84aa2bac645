# The Effects, Voice Manager and Mixing Options pages hosted in the panel's own
# dialog, against the virtual card's driver property sets.
vt_add_test(effects_pages_test
  SOURCES tests/effects_pages_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound winmm shlwapi ${VT_SYSTEM_LIBS})
