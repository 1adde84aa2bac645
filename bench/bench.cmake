# The benchmark (`make bench`, tools/bench): not a test and not built by
# default. The bare programs are built exactly as vtpanel.exe is (compiler,
# options, static runtime, stripped), so that they measure what Wine and the
# toolchain cost by themselves.
set(VT_BENCH_FLAGS -Wall -Wextra -fno-exceptions -fno-rtti)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  list(APPEND VT_BENCH_FLAGS -fno-asynchronous-unwind-tables)
endif()

# A hidden window and a notification icon, nothing else.
add_executable(bare_tray WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_tray.cpp)
target_compile_options(bare_tray PRIVATE ${VT_BENCH_FLAGS})
target_link_libraries(bare_tray PRIVATE shell32 user32 kernel32 vt_static_runtime)
target_link_options(bare_tray PRIVATE -s -Wl,--gc-sections)

# The same with what vtpanel.exe asks of the system before its window and
# holds while it waits (see bench/bare_tray.cpp).
add_executable(bare_tray_dlls WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_tray.cpp)
target_compile_options(bare_tray_dlls PRIVATE ${VT_BENCH_FLAGS})
target_compile_definitions(bare_tray_dlls PRIVATE BARE_WITH_SYSTEM_DLLS _WINMM_)
target_link_libraries(bare_tray_dlls PRIVATE dsound winmm ${VT_SYSTEM_LIBS} vt_static_runtime)
target_link_options(bare_tray_dlls PRIVATE -s -Wl,--gc-sections)

# The panel's dialogs, from the same resources, without any of its work.
add_executable(bare_panel WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_panel.cpp $<TARGET_OBJECTS:vtres>)
target_compile_options(bare_panel PRIVATE ${VT_BENCH_FLAGS})
target_include_directories(bare_panel PRIVATE ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(bare_panel PRIVATE comctl32 shell32 user32 kernel32 vt_static_runtime)
target_link_options(bare_panel PRIVATE -s -Wl,--gc-sections)

# vtpanel.exe linked once more from the same objects, unstripped, with a map
# file: what takes its space.
add_executable(vtpanel_unstripped WIN32 EXCLUDE_FROM_ALL ${VT_ENTRY_SOURCE} $<TARGET_OBJECTS:vtres>)
target_link_libraries(vtpanel_unstripped PRIVATE vtcore dsound winmm ${VT_SYSTEM_LIBS})
target_compile_options(vtpanel_unstripped PRIVATE ${VT_BENCH_FLAGS})
target_link_options(vtpanel_unstripped PRIVATE -Wl,--gc-sections -Wl,-Map=${CMAKE_BINARY_DIR}/vtpanel.map)
# The same for the bare tray program.
add_executable(bare_tray_unstripped WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_tray.cpp)
target_compile_options(bare_tray_unstripped PRIVATE ${VT_BENCH_FLAGS})
target_link_libraries(bare_tray_unstripped PRIVATE shell32 user32 kernel32 vt_static_runtime)
target_link_options(bare_tray_unstripped PRIVATE -Wl,--gc-sections -Wl,-Map=${CMAKE_BINARY_DIR}/bare_tray.map)

# Loaded into the measured program by its hooks.
add_library(bench_hook SHARED EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bench_hook.cpp)
set_target_properties(bench_hook PROPERTIES PREFIX "")
target_include_directories(bench_hook PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(bench_hook PRIVATE ${VT_BENCH_FLAGS})
target_link_libraries(bench_hook PRIVATE user32 kernel32 vt_static_runtime)
target_link_options(bench_hook PRIVATE -s)

add_executable(vtbench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/vtbench.cpp)
target_include_directories(vtbench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(vtbench PRIVATE vcdsound psapi comctl32 vt_static_runtime)

add_custom_target(bench_programs DEPENDS vtbench bench_hook bare_tray bare_tray_dlls bare_panel vtpanel_unstripped
                  bare_tray_unstripped vtpanel vthlp32 qa3dload vtaplt vcdsound_dll)
