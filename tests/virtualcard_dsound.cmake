# The virtual card's DirectSound: its own tests against the static library,
# and a probe linked against dsound the ordinary way, which must find the card
# through Wine's DLL loading of the card's dsound.dll. The card's registry key
# is shared by every process of the prefix.
vt_add_test(virtualcard_dsound_test SOURCES tests/virtualcard_dsound_test.cpp LIBS vcdsound)
set_tests_properties(virtualcard_dsound_test PROPERTIES RESOURCE_LOCK vcard_registry)

# First next to the card's dsound.dll in a folder of its own, with the override.
add_executable(vcdsound_probe tests/virtualcard_dsound_probe.cpp)
target_link_libraries(vcdsound_probe PRIVATE dsound user32 vt_static_runtime)
set_target_properties(vcdsound_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/dsprobe)
add_custom_command(TARGET vcdsound_probe POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different
                   $<TARGET_FILE:vcdsound_dll> ${CMAKE_BINARY_DIR}/dsprobe/dsound.dll)
add_dependencies(vcdsound_probe vcdsound_dll)
add_test(NAME virtualcard_dsound_probe COMMAND vcdsound_probe)
set_tests_properties(virtualcard_dsound_probe PROPERTIES
  ENVIRONMENT "WINEDLLOVERRIDES=dsound=n" RESOURCE_LOCK vcard_registry TIMEOUT 30)

# Then in a prefix from tools/wine-prefix, from a folder without the DLL: the
# card's dsound.dll in system32 with the per-program override.
add_test(NAME virtualcard_dsound_probe_prefix
  COMMAND bash -c "set -e; p=$1; ${CMAKE_SOURCE_DIR}/tools/wine-prefix $p --arch ${VT_ARCH} --build ${CMAKE_BINARY_DIR} --exe vcdsound_probe.exe >/dev/null; cp $2 $p/drive_c/vcdsound_probe.exe; rc=0; ${CMAKE_SOURCE_DIR}/tools/wine-run --arch ${VT_ARCH} --prefix $p $p/drive_c/vcdsound_probe.exe || rc=$?; ${CMAKE_SOURCE_DIR}/tools/wine-run --arch ${VT_ARCH} --prefix $p --stop; exit $rc"
          _ ${CMAKE_BINARY_DIR}/dsprobe-prefix $<TARGET_FILE:vcdsound_probe>)
set_tests_properties(virtualcard_dsound_probe_prefix PROPERTIES TIMEOUT 60)
