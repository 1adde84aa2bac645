# The resident program's hidden window, its start-up and shut-down duties, and
# the driver uninstall that ends it (whose cases uninstall.cmake runs).
vt_add_test(tray_test SOURCES tests/tray_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcdsound vcmixer winmm ${VT_SYSTEM_LIBS} ARGS --gtest_filter=-Uninstall.*)
