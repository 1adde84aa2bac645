# The driver uninstall against the driver package as tools/wine-prefix installs
# it. The full uninstall removes the card, so it runs in a prefix of its own;
# the refusals and the finishing steps share another. Both are made afresh.
add_executable(uninstall_test tests/uninstall_test.cpp $<TARGET_OBJECTS:vtres>)
target_include_directories(uninstall_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(uninstall_test PRIVATE vt_test_support vtcore vcdsound winmm shlwapi ${VT_SYSTEM_LIBS}
  gmock gtest_main vt_static_runtime)
add_dependencies(uninstall_test vthlp32 qa3dload vtaplt)

foreach(part refusals full)
  if(part STREQUAL "full")
    set(filter "--gtest_filter=Uninstall.FullUninstall*")
  else()
    set(filter "--gtest_filter=-Uninstall.FullUninstall*")
  endif()
  set(prefix ${CMAKE_BINARY_DIR}/wine-uninstall-${part})
  add_test(NAME uninstall_${part}
    COMMAND bash -c [=[
      "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe uninstall_test.exe || exit 1
      "$1/tools/wine-run" --arch "$3" --prefix "$2" "$5" "$6"; rc=$?
      "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
      exit $rc]=]
      uninstall ${CMAKE_SOURCE_DIR} ${prefix} ${VT_ARCH} ${CMAKE_BINARY_DIR}
      $<TARGET_FILE:uninstall_test> ${filter})
  set_tests_properties(uninstall_${part} PROPERTIES TIMEOUT 90)
endforeach()
