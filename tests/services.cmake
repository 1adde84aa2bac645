# The services the tray program, the panel and the pages call: messages, the
# driver connection, the speaker configuration, card detection and the
# speaker-test engine, against the virtual card's DirectSound.

# The program's resources are linked in, so that strings load from the test
# program itself; the virtual card comes before winmm and the system DLLs.
set(VT_SERVICE_TEST_LIBS vt_test_support vtcore vcdsound winmm shlwapi ${VT_SYSTEM_LIBS})

vt_add_test(services_test
  SOURCES tests/services_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS ${VT_SERVICE_TEST_LIBS})

vt_add_test(speaker_test_engine_test
  SOURCES tests/speaker_test_engine_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS ${VT_SERVICE_TEST_LIBS})

vt_add_test(detection_test
  SOURCES tests/detection_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS ${VT_SERVICE_TEST_LIBS})
