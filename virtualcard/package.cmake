# The driver package's files that the card's installation puts into the
# system directory: the support library VTHLP32.DLL, the QSound A3D loader
# QA3DLoad.dll and the control-panel applet VTAPLT.CPL. tools/wine-prefix
# copies them, with the test wave files, into a prefix.
function(vc_package_dll target output def)
  add_library(${target} SHARED ${ARGN} ${CMAKE_CURRENT_LIST_DIR}/package_entry.cpp ${def})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output} SUFFIX "")
  target_compile_options(${target} PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
  # The .def file gives the undecorated names; the stdcall decoration of the
  # 32-bit build is matched to them.
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  target_link_libraries(${target} PRIVATE vclog vt_static_runtime)
endfunction()

vc_package_dll(vthlp32 VTHLP32.DLL ${CMAKE_CURRENT_LIST_DIR}/vthlp32.def
  ${CMAKE_CURRENT_LIST_DIR}/vthlp32.cpp ${CMAKE_CURRENT_LIST_DIR}/vthlp32_devices.cpp)
target_link_libraries(vthlp32 PRIVATE advapi32)
vc_package_dll(qa3dload QA3DLoad.dll ${CMAKE_CURRENT_LIST_DIR}/qa3dload.def
  ${CMAKE_CURRENT_LIST_DIR}/qa3dload.cpp)
# The applet: a DLL with a CPlApplet entry that offers no applet.
vc_package_dll(vtaplt VTAPLT.CPL ${CMAKE_CURRENT_LIST_DIR}/vtaplt.def
  ${CMAKE_CURRENT_LIST_DIR}/vtaplt.cpp)
