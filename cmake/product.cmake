# The product: every source of the program but the entry point goes into
# vtcore, compiled once and linked by vtpanel.exe and the test programs alike.

file(GLOB VT_PRODUCT_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp
  ${CMAKE_SOURCE_DIR}/panel/*.cpp
  ${CMAKE_SOURCE_DIR}/speakers/*.cpp
  ${CMAKE_SOURCE_DIR}/pages/general/*.cpp
  ${CMAKE_SOURCE_DIR}/pages/effects/*.cpp
  ${CMAKE_SOURCE_DIR}/mixer/*.cpp)
set(VT_ENTRY_SOURCE ${CMAKE_SOURCE_DIR}/app/winmain.cpp)
list(REMOVE_ITEM VT_PRODUCT_SOURCES ${VT_ENTRY_SOURCE})

# No DLL of the toolchain may be needed at run time: every program and DLL
# of the project links the runtime statically through this.
add_library(vt_static_runtime INTERFACE)
target_link_options(vt_static_runtime INTERFACE -static -static-libgcc -static-libstdc++)

add_library(vtcore STATIC ${VT_PRODUCT_SOURCES})
target_link_libraries(vtcore PUBLIC vt_static_runtime)
target_include_directories(vtcore PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res)
target_compile_options(vtcore PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
# The mixer functions are declared without dllimport so that a test program can
# link the virtual card's mixer in place of winmm's; vtpanel.exe still gets
# them from winmm.dll through the import library's thunks.
target_compile_definitions(vtcore PUBLIC _WINMM_)
# dsound and winmm come last so that a test program's virtual card, linked
# before them, answers first.
set(VT_SYSTEM_LIBS comctl32 shell32 advapi32 gdi32 user32 kernel32)

# The resources: one script for the language-neutral ones, which includes one
# file per language.
file(GLOB VT_RESOURCE_DEPENDS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/res/*.h ${CMAKE_SOURCE_DIR}/res/*.rc ${CMAKE_SOURCE_DIR}/res/lang/*.rc
  ${CMAKE_SOURCE_DIR}/res/pictures/*)
add_library(vtres OBJECT ${CMAKE_SOURCE_DIR}/res/vtpanel.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/vtpanel.rc PROPERTIES
  OBJECT_DEPENDS "${VT_RESOURCE_DEPENDS}")
target_include_directories(vtres PRIVATE ${CMAKE_SOURCE_DIR}/res)

add_executable(vtpanel WIN32 ${VT_ENTRY_SOURCE} $<TARGET_OBJECTS:vtres>)
target_link_libraries(vtpanel PRIVATE vtcore dsound winmm ${VT_SYSTEM_LIBS})
# Small and stripped, as it ships.
target_compile_options(vtpanel PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_options(vtpanel PRIVATE -s -Wl,--gc-sections)
# make coverage: the product's code (not the card's, not the tests') counts
# the lines and branches it runs, unoptimized so that each line is its own.
option(VT_COVERAGE "count the product's lines and branches (tools/coverage)" OFF)
if(VT_COVERAGE)
  target_compile_options(vtcore PRIVATE --coverage -O0)
  target_compile_options(vtpanel PRIVATE --coverage -O0)
  target_link_options(vt_static_runtime INTERFACE --coverage)
endif()
# No unwind tables: nothing is thrown, and 32-bit Windows unwinds its own
# exceptions without them (64-bit Windows needs them for that).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_compile_options(vtcore PRIVATE -fno-asynchronous-unwind-tables)
  target_compile_options(vtpanel PRIVATE -fno-asynchronous-unwind-tables)
endif()
