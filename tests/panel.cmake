# The control panel hosting the six pages, against the virtual card's
# DirectSound and mixer.
vt_add_test(panel_test
  SOURCES tests/panel_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound vcmixer winmm shlwapi comctl32 shell32 advapi32 gdi32 user32 kernel32)
