# The help file vtpanel.hlp, which ships beside the program: the help
# generator tools/helpgen, built for the build machine with its own compiler,
# turns the topics of res/help/vtpanel-help.txt into it.

find_program(VT_HOST_CXX NAMES g++ c++ REQUIRED)
set(VT_HELPGEN_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/helpgen/helpgen.cpp
  ${CMAKE_SOURCE_DIR}/tools/helpgen/help_source.cpp
  ${CMAKE_SOURCE_DIR}/tools/helpgen/hlp_writer.cpp)
set(VT_HELPGEN_HEADERS
  ${CMAKE_SOURCE_DIR}/tools/helpgen/help_source.h
  ${CMAKE_SOURCE_DIR}/tools/helpgen/hlp_writer.h)
set(VT_HELPGEN ${CMAKE_BINARY_DIR}/helpgen/helpgen)
add_custom_command(OUTPUT ${VT_HELPGEN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/helpgen
  COMMAND ${VT_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -I${CMAKE_SOURCE_DIR}
    -o ${VT_HELPGEN} ${VT_HELPGEN_SOURCES}
  DEPENDS ${VT_HELPGEN_SOURCES} ${VT_HELPGEN_HEADERS}
  COMMENT "Building the help generator for the build machine"
  VERBATIM)

set(VT_HELP_SOURCE ${CMAKE_SOURCE_DIR}/res/help/vtpanel-help.txt)
set(VT_HELP_FILE ${CMAKE_BINARY_DIR}/vtpanel.hlp)
add_custom_command(OUTPUT ${VT_HELP_FILE}
  COMMAND ${VT_HELPGEN} ${VT_HELP_SOURCE} ${VT_HELP_FILE}
  DEPENDS ${VT_HELPGEN} ${VT_HELP_SOURCE}
  COMMENT "Generating vtpanel.hlp"
  VERBATIM)
add_custom_target(vtpanel_help ALL DEPENDS ${VT_HELP_FILE})
