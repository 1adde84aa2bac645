# The driver package as tools/wine-prefix installs it, checked by a program run
# in a prefix of its own, made afresh and ended.
add_executable(virtualcard_package_test tests/virtualcard_package_test.cpp)
target_include_directories(virtualcard_package_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(virtualcard_package_test PRIVATE advapi32 gmock gtest_main vt_static_runtime)
add_dependencies(virtualcard_package_test vthlp32 qa3dload vtaplt)
add_test(NAME virtualcard_package_in_card_prefix
  COMMAND bash -c [=[
    "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe virtualcard_package_test.exe >/dev/null || exit 1
    "$1/tools/wine-run" --arch "$3" --prefix "$2" "$5"; rc=$?
    "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
    exit $rc]=]
    wine-card-package ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-card-package-card ${VT_ARCH}
    ${CMAKE_BINARY_DIR} $<TARGET_FILE:virtualcard_package_test>)
set_tests_properties(virtualcard_package_in_card_prefix PROPERTIES TIMEOUT 60)
