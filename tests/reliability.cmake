# Reliability: every flow with each of its calls failing in turn, a corpus of
# broken wave files, hostile configuration, and (in the shipped program) a
# soak and planted libraries.
set(libs vtcore vcdsound vcmixer winmm ${VT_SYSTEM_LIBS})
vt_add_test(fault_sweep_test SOURCES tests/fault_sweep_test.cpp $<TARGET_OBJECTS:vtres> LIBS ${libs} TIMEOUT 400
  ARGS --gtest_filter=-*Limited*)
# Its flows as a limited user, in a prefix of their own.
vt_add_test(limited_user PROGRAM fault_sweep_test ARGS --gtest_filter=*Limited* TIMEOUT 90)
vt_add_test(wave_corpus_test SOURCES tests/wave_corpus_test.cpp LIBS ${libs} TIMEOUT 120)
vt_add_test(hostile_config_test SOURCES tests/hostile_config_test.cpp $<TARGET_OBJECTS:vtres> LIBS ${libs} TIMEOUT 180)

# The shipped vtpanel.exe, driven from a second program in a prefix of its
# own: a shortened soak (`make soak` runs the full one), then libraries and
# a program planted in its current directory.
add_executable(soak_test tests/soak_test.cpp)
target_link_libraries(soak_test PRIVATE vt_test_support psapi comctl32 gtest vt_static_runtime)
add_dependencies(soak_test vtpanel)
vt_add_test(soak PROGRAM soak_test PREFIX --first-time 0 TIMEOUT 300 ARGS Z:$<TARGET_FILE:vtpanel> 25 25 10)
