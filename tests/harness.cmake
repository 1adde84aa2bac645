# The harness itself: a test program that crashes ends at once with its
# exception code, instead of waiting for a debugger that would hold the run.
add_executable(crash_fixture tests/fixtures/crash.cpp)
target_link_libraries(crash_fixture PRIVATE vt_static_runtime)
add_test(NAME harness_crash_ends_at_once
  COMMAND bash -c [=["$1" --arch "$2" --prefix "$3" "$4"; [ $? -eq 5 ]]=]
    harness ${CMAKE_SOURCE_DIR}/tools/wine-run ${VT_ARCH} ${CMAKE_BINARY_DIR}/wine $<TARGET_FILE:crash_fixture>)
set_tests_properties(harness_crash_ends_at_once PROPERTIES TIMEOUT 30)
