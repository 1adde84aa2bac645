# The card's DirectSound, from one set of sources: a static library that test
# programs link in place of dsound, and a dsound.dll that Wine loads instead of
# its own (DLL override) for programs linked the ordinary way.
set(VC_DSOUND_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dscard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dsdevice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dsbuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dsprops.cpp)

add_library(vcdsound STATIC ${VC_DSOUND_SOURCES})
target_include_directories(vcdsound PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(vcdsound PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_libraries(vcdsound PUBLIC vclog user32 advapi32)

add_library(vcdsound_dll SHARED ${VC_DSOUND_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/dsound.def)
set_target_properties(vcdsound_dll PROPERTIES OUTPUT_NAME dsound PREFIX "" IMPORT_PREFIX "lib"
  IMPORT_SUFFIX ".vc.a")
target_include_directories(vcdsound_dll PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(vcdsound_dll PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_libraries(vcdsound_dll PRIVATE vclog user32 advapi32 vt_static_runtime)
# The exports are named without the stdcall decoration, as the system's are.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(vcdsound_dll PRIVATE -Wl,--enable-stdcall-fixup)
endif()
