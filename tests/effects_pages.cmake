# The Effects, Voice Manager and Mixing Options pages hosted in the panel's own
# dialog, against the virtual card's driver property sets.
vt_add_test(effects_pages_test SOURCES tests/effects_pages_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcdsound winmm ${VT_SYSTEM_LIBS})
