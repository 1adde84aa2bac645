# The driver package as tools/wine-prefix installs it, checked by a program run
# in prefixes of its own (wine-card-package-*), each made afresh and ended.
add_executable(virtualcard_package_test tests/virtualcard_package_test.cpp)
target_include_directories(virtualcard_package_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(virtualcard_package_test PRIVATE advapi32 gmock gtest_main vt_static_runtime)
add_dependencies(virtualcard_package_test vthlp32 qa3dload vtaplt)

# vc_package_prefix_test(NAME PREFIX-OPTIONS PROGRAM-ARGUMENTS)
function(vc_package_prefix_test name options arguments)
  add_test(NAME virtualcard_package_in_${name}_prefix
    COMMAND bash -c [=[
      "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe virtualcard_package_test.exe $6 || exit 1
      "$1/tools/wine-run" --arch "$3" --prefix "$2" "$5" $7; rc=$?
      "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
      exit $rc]=]
      wine-card-package ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-card-package-${name} ${VT_ARCH}
      ${CMAKE_BINARY_DIR} $<TARGET_FILE:virtualcard_package_test> "${options}" "${arguments}")
endfunction()

vc_package_prefix_test(card "--version win2k --no-channel-config" "")
vc_package_prefix_test(options
  "--version win98 --max-speakers 2 --stereo-x2 off --first-time 0 --no-hw3d --devices 3 --yamaha-noblank --a3d-preload 60000000"
  "--gtest_filter=PackageVariant.* options")
vc_package_prefix_test(no_card "--no-card --yamaha" "--gtest_filter=PackageVariant.* no-card")
