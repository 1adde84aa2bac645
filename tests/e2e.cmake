# The shipped vtpanel.exe driven from a second program, in a prefix where the
# card and its driver package are installed, made afresh and ended. (Each
# language's run of the program is languages_test's.)
add_executable(e2e_test tests/e2e_test.cpp)
target_link_libraries(e2e_test PRIVATE vt_test_support vcdsound comctl32 gtest vt_static_runtime)
add_dependencies(e2e_test vtpanel)
vt_add_test(e2e PROGRAM e2e_test PREFIX --exe e2e_test.exe --first-time 0 TIMEOUT 240 ARGS Z:$<TARGET_FILE:vtpanel>)

# Not a test: the program that has `make demo` picture the panel's tabs.
add_executable(demo_driver tools/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE comctl32 vt_static_runtime)
