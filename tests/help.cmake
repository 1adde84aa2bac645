# The help file shown by the system's WinHelp for every control of the panel
# and its pages, in a prefix where the driver package has put the help file in
# the Windows folder.
vt_add_test(help_test SOURCES tests/help_test.cpp tests/help_viewer.cpp tools/helpgen/help_source.cpp
  LIBS vtcore ${VT_SYSTEM_LIBS} TIMEOUT 120 ARGS Z:${VT_HELP_SOURCE})
