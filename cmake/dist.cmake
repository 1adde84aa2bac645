# The release archive, made with every build of the program as it ships
# (32-bit): build/dist/sonaris-panel-VERSION.zip (make dist). The counting
# build of make coverage ships nothing.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686" AND NOT VT_COVERAGE)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/dist.stamp
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/dist ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/build/dist
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/dist.stamp
    DEPENDS vtpanel ${VT_HELP_FILE} ${CMAKE_SOURCE_DIR}/docs/README.txt ${CMAKE_SOURCE_DIR}/tools/dist
    COMMENT "Writing the release archive" VERBATIM)
  add_custom_target(dist ALL DEPENDS ${CMAKE_BINARY_DIR}/dist.stamp)
  add_dependencies(dist vtpanel_help)
endif()
