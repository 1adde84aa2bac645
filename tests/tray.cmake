# The resident program's hidden window and start-up duties.
vt_add_test(tray_test
  SOURCES tests/tray_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound vcmixer winmm shlwapi comctl32 shell32 advapi32 gdi32 user32 kernel32)
