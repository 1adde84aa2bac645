# The driver uninstall against the driver package as tools/wine-prefix installs
# it. The full uninstall removes the card, so it runs in a prefix of its own.
foreach(part refusals full)
  set(filter "--gtest_filter=Uninstall.FullUninstall*")
  if(part STREQUAL "refusals")
    set(filter "--gtest_filter=-Uninstall.FullUninstall*")
  endif()
  vt_add_test(uninstall_${part} SOURCES tests/uninstall_test.cpp $<TARGET_OBJECTS:vtres>
    LIBS vtcore vcdsound winmm ${VT_SYSTEM_LIBS} ARGS ${filter} TIMEOUT 90)
endforeach()
