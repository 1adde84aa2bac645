# The resident program's hidden window and start-up duties.
vt_add_test(tray_test SOURCES tests/tray_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcdsound vcmixer winmm ${VT_SYSTEM_LIBS})
