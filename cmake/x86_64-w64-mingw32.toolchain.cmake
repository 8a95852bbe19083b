# 64-bit Windows: the same sources as the 32-bit target, for running the Windows code under
# 64-bit Wine on machines whose kernel cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PYX_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.toolchain.cmake)
