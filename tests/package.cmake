# A program linked against the toolchain's runtime DLLs, for the package test
# to reject.
add_executable(dynamic_runtime_fixture tests/fixtures/dynamic_runtime.cpp)

vt_windows_path(fixture_win $<TARGET_FILE:dynamic_runtime_fixture>)
vt_add_test(package_test
  SOURCES tests/package_test.cpp
  ARGS ${shipped_win} ${fixture_win})
add_dependencies(package_test vtpanel dynamic_runtime_fixture)
