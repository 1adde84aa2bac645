# The General page hosted in the panel's own dialog, against the virtual card.
vt_add_test(general_page_test
  SOURCES tests/general_page_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound winmm shlwapi ${VT_SYSTEM_LIBS})
