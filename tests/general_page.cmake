# The General page hosted in the panel's own dialog, against the virtual card.
vt_add_test(general_page_test SOURCES tests/general_page_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcdsound winmm ${VT_SYSTEM_LIBS})
