# Reliability: every flow with each of its calls failing in turn, a corpus of
# broken wave files, hostile configuration, and (in the shipped program) a
# soak and planted libraries.
vt_add_test(fault_sweep_test
  SOURCES tests/fault_sweep_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound vcmixer winmm shlwapi comctl32 shell32 advapi32 gdi32 user32 kernel32
  TIMEOUT 400)
vt_add_test(wave_corpus_test
  SOURCES tests/wave_corpus_test.cpp
  LIBS vt_test_support vtcore vcdsound winmm shlwapi ${VT_SYSTEM_LIBS}
  TIMEOUT 120)
vt_add_test(hostile_config_test
  SOURCES tests/hostile_config_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vt_test_support vtcore vcdsound vcmixer winmm shlwapi comctl32 shell32 advapi32 gdi32 user32 kernel32
  TIMEOUT 180)
