# What every test program shares (tests/harness.h).
add_library(vt_test_support STATIC tests/harness.cpp tests/capture.cpp tests/import_hook.cpp
  tests/program_driver.cpp tests/trace.cpp tests/waves.cpp)
target_include_directories(vt_test_support PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(vt_test_support PUBLIC vclog shlwapi gtest vt_static_runtime)
# The ledger goes into every test program, whatever it uses of the rest.
target_sources(vt_test_support INTERFACE ${CMAKE_SOURCE_DIR}/tests/ledger.cpp)
# What tools/wine-prefix installs in a test's prefix.
add_custom_target(vt_card_package DEPENDS vcdsound_dll vthlp32 qa3dload vtaplt vtpanel_help)

# vt_add_test(NAME [SOURCES files... [LIBS libs...]] [PROGRAM target] [ARGS args...]
#             [PREFIX wine-prefix options...] [LOCALE ll_CC] [TIMEOUT seconds])
# A test program, built from SOURCES with GoogleTest or an existing target,
# run in a Wine prefix of its own, made afresh with the card and its driver
# package installed, under the locale's language. Tests share nothing, so
# "ctest -j" may run them side by side. Every test has a timeout a few times
# its usual run, so that a hang fails in minutes.
function(vt_add_test name)
  cmake_parse_arguments(T "" "PROGRAM;LOCALE;TIMEOUT" "SOURCES;LIBS;ARGS;PREFIX" ${ARGN})
  if(T_SOURCES)
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} vt_test_support gmock gtest_main vt_static_runtime)
    set(T_PROGRAM ${name})
  endif()
  add_dependencies(${T_PROGRAM} vt_card_package)
  if(T_LOCALE)
    list(PREPEND T_PREFIX --locale ${T_LOCALE})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/tests/in-card-prefix ${CMAKE_SOURCE_DIR} ${VT_ARCH}
    ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/prefixes/${name} ${T_PREFIX} -- $<TARGET_FILE:${T_PROGRAM}> ${T_ARGS})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# The harness itself: a test program that crashes ends at once with its
# exception code, instead of waiting for a debugger that would hold the run.
# The time allowed covers the first start of Wine on a busy machine, which
# makes its prefix from nothing; a debugger's wait would never end.
add_executable(crash_fixture tests/fixtures/crash.cpp)
target_link_libraries(crash_fixture PRIVATE vt_static_runtime)
add_test(NAME harness_crash_ends_at_once
  COMMAND bash -c [=["$@"; [ $? -eq 5 ]]=] harness ${CMAKE_SOURCE_DIR}/tests/in-card-prefix ${CMAKE_SOURCE_DIR}
    ${VT_ARCH} ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/prefixes/crash -- $<TARGET_FILE:crash_fixture>)
set_tests_properties(harness_crash_ends_at_once PROPERTIES TIMEOUT 90)
