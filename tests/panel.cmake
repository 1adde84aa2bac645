# The control panel hosting the six pages, against the virtual card's
# DirectSound and mixer.
vt_add_test(panel_test SOURCES tests/panel_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcdsound vcmixer winmm ${VT_SYSTEM_LIBS})
