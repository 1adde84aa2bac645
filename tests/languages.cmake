# Every language's resources in the program as it ships, each checked under
# its own locale, and the program run there; and the translated resource
# scripts as their generator writes them from the English one and the tables
# of translated texts.
add_executable(languages_test tests/languages_test.cpp)
target_link_libraries(languages_test PRIVATE vt_test_support comctl32 gtest_main vt_static_runtime)
add_dependencies(languages_test vtpanel)
foreach(tag ${VT_LANGUAGES})
  vt_add_test(languages_${tag} PROGRAM languages_test LOCALE ${VT_LANGUAGE_${tag}_LOCALE}
    PREFIX --exe languages_test.exe TIMEOUT 60
    ARGS ${shipped_win} Z:$<TARGET_FILE:vtpanel> ${VT_LANGUAGE_${tag}_ID} ${VT_LANGUAGE_${tag}_ACP})
endforeach()

add_test(NAME lang_resources_current COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/lang-resources --check)
set_tests_properties(lang_resources_current PROPERTIES TIMEOUT 30)
