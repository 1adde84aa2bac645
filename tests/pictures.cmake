# The pictures of the shipped vtpanel.exe, read from it as data.
vt_add_test(pictures_test
  SOURCES tests/pictures_test.cpp
  ARGS ${shipped_win})
target_include_directories(pictures_test PRIVATE ${CMAKE_SOURCE_DIR}/res)
add_dependencies(pictures_test vtpanel)
