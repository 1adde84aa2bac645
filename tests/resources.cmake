# The resources of the program as it ships: the dialog templates and the
# pictures.
vt_add_test(resources_test SOURCES tests/resources_test.cpp LIBS comctl32 ARGS ${shipped_win})
add_dependencies(resources_test vtpanel)

# Not a test: the program behind `make screenshots`, which shows every dialog
# of the resources in turn, and WinHelp's popup on each page, for
# tools/screenshots to capture.
add_executable(dialog_gallery WIN32 tools/dialog_gallery.cpp tests/help_viewer.cpp tools/helpgen/help_source.cpp
  $<TARGET_OBJECTS:vtres>)
target_link_libraries(dialog_gallery PRIVATE vtcore vcdsound vt_test_support winmm ${VT_SYSTEM_LIBS} vt_static_runtime)
target_link_options(dialog_gallery PRIVATE -mconsole)
