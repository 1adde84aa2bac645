# Test programs: GoogleTest, built with the cross compiler, one program per
# subsystem so that Wine starts few processes. CTest runs them through the
# emulator, tools/wine-run.

enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# A Unix path as the Windows programs under Wine see it (drive Z: is /).
function(vt_windows_path out unix_path)
  set(${out} "Z:${unix_path}" PARENT_SCOPE)
endfunction()

# The program that ships is the 32-bit one; a 64-bit test build checks the
# 32-bit build named by VT_SHIPPED_EXE.
set(VT_SHIPPED_EXE "" CACHE FILEPATH "vtpanel.exe as it ships (default: this build's)")
if(VT_SHIPPED_EXE)
  set(shipped ${VT_SHIPPED_EXE})
else()
  set(shipped $<TARGET_FILE:vtpanel>)
endif()
vt_windows_path(shipped_win ${shipped})

include(${CMAKE_SOURCE_DIR}/cmake/languages.cmake)

# Each subsystem's test programs are declared in a file of their own, after
# the harness they share.
file(GLOB VT_TEST_RULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cmake)
list(REMOVE_ITEM VT_TEST_RULES ${CMAKE_SOURCE_DIR}/tests/harness.cmake)
foreach(rules ${CMAKE_SOURCE_DIR}/tests/harness.cmake ${VT_TEST_RULES})
  include(${rules})
endforeach()
