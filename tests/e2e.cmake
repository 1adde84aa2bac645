# The shipped vtpanel.exe driven from a second program, in a prefix where the
# card and its driver package are installed, made afresh and ended.
add_executable(e2e_test tests/e2e_test.cpp)
target_include_directories(e2e_test PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(e2e_test PRIVATE vt_test_support vcdsound shlwapi comctl32 gtest vt_static_runtime)
add_dependencies(e2e_test vtpanel vthlp32 qa3dload vtaplt vcdsound_dll)
add_test(NAME e2e
  COMMAND bash -c [=[
    "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe e2e_test.exe >/dev/null || exit 1
    "$1/tools/wine-run" --arch "$3" --prefix "$2" "$5" "$6" "$7"; rc=$?
    "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
    exit $rc]=]
    e2e ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-e2e ${VT_ARCH} ${CMAKE_BINARY_DIR}
    $<TARGET_FILE:e2e_test> Z:$<TARGET_FILE:vtpanel> --gtest_filter=-*UsersLanguage*)
set_tests_properties(e2e PROPERTIES TIMEOUT 240)

# The program under each language's locale shows that language's panel and
# messages, as the system's resource lookup chooses them.
set(locales "")
foreach(tag ${VT_LANGUAGES})
  list(APPEND locales ${VT_LANGUAGE_${tag}_LOCALE})
endforeach()
list(REMOVE_DUPLICATES locales)
add_test(NAME e2e_languages
  COMMAND bash -c [=[
    "$1/tools/wine-prefix" "$2" --arch "$3" --build "$4" --exe e2e_test.exe >/dev/null || exit 1
    rc=0
    for locale in ${7//;/ }; do
      VT_WINE_KEEP=1 "$1/tools/wine-run" --arch "$3" --prefix "$2" --locale "$locale" "$5" "$6"         --gtest_filter=*UsersLanguage* --gtest_brief=1 || { echo "e2e_languages: $locale failed"; rc=1; }
    done
    "$1/tools/wine-run" --arch "$3" --prefix "$2" --stop
    exit $rc]=]
    e2e ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/wine-e2e-languages ${VT_ARCH} ${CMAKE_BINARY_DIR}
    $<TARGET_FILE:e2e_test> Z:$<TARGET_FILE:vtpanel> "${locales}")
set_tests_properties(e2e_languages PROPERTIES TIMEOUT 240 RESOURCE_LOCK wine_locale)

# Not a test: the program that has `make demo` picture the panel's tabs.
add_executable(demo_driver tools/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE comctl32 vt_static_runtime)
