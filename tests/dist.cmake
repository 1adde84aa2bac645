# The release archive of the program as it ships (tools/dist, make dist);
# the counting build of make coverage makes none.
if(NOT VT_COVERAGE)
  add_test(NAME dist_archive COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/dist-check ${CMAKE_SOURCE_DIR}/build/dist
    ${shipped} ${CMAKE_SOURCE_DIR}/res/resource.h ${CMAKE_SOURCE_DIR}/docs/README.txt)
  set_tests_properties(dist_archive PROPERTIES TIMEOUT 30)
endif()
