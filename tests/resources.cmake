# The resources of the program as it ships: every dialog template, the string
# table, the tray menu, the language marker, the version information and the
# pictures.
vt_add_test(resources_test
  SOURCES tests/resources_test.cpp tests/dialog_template.cpp
  LIBS version
  ARGS ${shipped_win})
target_include_directories(resources_test PRIVATE ${CMAKE_SOURCE_DIR}/res)
add_dependencies(resources_test vtpanel)
