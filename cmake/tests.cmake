# Test programs: GoogleTest, built with the cross compiler, one program per
# subsystem so that Wine starts few processes. CTest runs them through the
# emulator, tools/wine-run.

enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# A Unix path as the Windows programs under Wine see it (drive Z: is /).
function(vt_windows_path out unix_path)
  set(${out} "Z:${unix_path}" PARENT_SCOPE)
endfunction()

# vt_add_test(NAME SOURCES ... [LIBS ...] [ARGS ...] [TIMEOUT seconds])
# Every test has a timeout a few times its usual run, so that a hang fails
# in minutes.
function(vt_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main vt_static_runtime)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  # They share one prefix and so one card, whose state other processes see:
  # "ctest -j" must not run two at once.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK vcard_registry)
endfunction()

# The program that ships is the 32-bit one; a 64-bit test build checks the
# 32-bit build named by VT_SHIPPED_EXE.
set(VT_SHIPPED_EXE "" CACHE FILEPATH "vtpanel.exe as it ships (default: this build's)")
if(VT_SHIPPED_EXE)
  set(shipped ${VT_SHIPPED_EXE})
else()
  set(shipped $<TARGET_FILE:vtpanel>)
endif()

# A program linked against the toolchain's runtime DLLs, for the package test
# to reject.
add_executable(dynamic_runtime_fixture tests/fixtures/dynamic_runtime.cpp)

vt_windows_path(shipped_win ${shipped})
vt_windows_path(fixture_win $<TARGET_FILE:dynamic_runtime_fixture>)
vt_add_test(package_test
  SOURCES tests/package_test.cpp
  ARGS ${shipped_win} ${fixture_win})
add_dependencies(package_test vtpanel dynamic_runtime_fixture)

# What the tests share: captures of what a program shows, stand-ins for
# system functions, the shipped program driven from outside, the card's
# record as a table, the test wave files.
add_library(vt_test_support STATIC tests/capture.cpp tests/import_hook.cpp tests/program_driver.cpp
  tests/trace.cpp tests/waves.cpp)
target_link_libraries(vt_test_support PUBLIC vclog shlwapi vt_static_runtime)
vt_windows_path(waves_win ${CMAKE_SOURCE_DIR}/virtualcard/waves)
string(REPLACE "/" "\\\\" waves_win "${waves_win}")
target_compile_definitions(vt_test_support PUBLIC "VT_WAVES_DIR=\"${waves_win}\"")

include(${CMAKE_SOURCE_DIR}/cmake/languages.cmake)

# Each subsystem's test programs are declared in a file of their own.
file(GLOB VT_TEST_RULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cmake)
foreach(rules ${VT_TEST_RULES})
  include(${rules})
endforeach()
