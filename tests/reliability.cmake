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
# The shipped vtpanel.exe, driven from a second program in a prefix of its
# own: a shortened soak (`make soak` runs the full one), then libraries and
# a program planted in its current directory.
add_executable(soak_test tests/soak_test.cpp)
target_include_directories(soak_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(soak_test PRIVATE vt_test_support psapi comctl32 gtest vt_static_runtime)
add_dependencies(soak_test vtpanel vthlp32 qa3dload vtaplt vcdsound_dll)
add_test(NAME soak
  COMMAND ${CMAKE_SOURCE_DIR}/tools/soak-run ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-soak ${VT_ARCH}
    ${CMAKE_BINARY_DIR} $<TARGET_FILE:soak_test> Z:$<TARGET_FILE:vtpanel> 25 25 10)
set_tests_properties(soak PROPERTIES TIMEOUT 300)
