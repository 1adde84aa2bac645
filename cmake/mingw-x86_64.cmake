# 64-bit Windows: the same sources, for machines whose kernel runs no 32-bit
# user code, where Wine can only run 64-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
