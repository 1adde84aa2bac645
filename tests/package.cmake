vt_add_test(package_test SOURCES tests/package_test.cpp ARGS ${shipped_win})
add_dependencies(package_test vtpanel)
