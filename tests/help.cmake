# The help file read as WinHelp reads it (help_file), and shown by the
# system's WinHelp for every control of the panel's and the pages' templates
# (help_viewer), in a prefix with the driver package installed, which puts the
# help file in the Windows folder.
add_executable(help_test tests/help_test.cpp tests/help_viewer.cpp tools/helpgen/help_source.cpp
  $<TARGET_OBJECTS:vtres>)
target_include_directories(help_test PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(help_test PRIVATE vtcore ${VT_SYSTEM_LIBS} gmock gtest_main vt_static_runtime)
add_dependencies(help_test vtpanel_help)

vt_windows_path(help_file_win ${VT_HELP_FILE})
vt_windows_path(help_source_win ${VT_HELP_SOURCE})
add_test(NAME help_file
  COMMAND help_test ${help_file_win} ${help_source_win} --gtest_filter=HelpFileTest.*)
set_tests_properties(help_file PROPERTIES TIMEOUT 60)

add_test(NAME help_viewer
  COMMAND bash -c [=[
    "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe help_test.exe >/dev/null || exit 1
    # WinHelp also looks in the current folder: not the build folder here.
    cd "$2" || exit 1
    "$1/tools/wine-run" --arch "$3" --prefix "$2" "$5" "$6" "$7" --gtest_filter=HelpViewerTest.*; rc=$?
    "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
    exit $rc]=]
    help ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-help ${VT_ARCH} ${CMAKE_BINARY_DIR}
    $<TARGET_FILE:help_test> ${help_file_win} ${help_source_win})
set_tests_properties(help_viewer PROPERTIES TIMEOUT 120)
