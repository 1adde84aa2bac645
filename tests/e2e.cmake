# The shipped vtpanel.exe driven from a second program, in a prefix where the
# card and its driver package are installed, made afresh and ended; and the
# same under each language's locale, whose panel and messages the system's
# resource lookup chooses.
add_executable(e2e_test tests/e2e_test.cpp)
target_link_libraries(e2e_test PRIVATE vt_test_support vcdsound comctl32 gtest vt_static_runtime)
add_dependencies(e2e_test vtpanel)
vt_add_test(e2e PROGRAM e2e_test PREFIX --exe e2e_test.exe --first-time 0 TIMEOUT 240
  ARGS Z:$<TARGET_FILE:vtpanel> --gtest_filter=-*UsersLanguage*)
foreach(tag ${VT_LANGUAGES})
  vt_add_test(e2e_${tag} PROGRAM e2e_test LOCALE ${VT_LANGUAGE_${tag}_LOCALE} PREFIX --exe e2e_test.exe TIMEOUT 60
    ARGS Z:$<TARGET_FILE:vtpanel> --gtest_filter=*UsersLanguage*)
endforeach()

# Not a test: the program that has `make demo` picture the panel's tabs.
add_executable(demo_driver tools/demo_driver.cpp)
target_link_libraries(demo_driver PRIVATE comctl32 vt_static_runtime)
