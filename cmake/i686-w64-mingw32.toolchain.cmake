# The real target: 32-bit Windows (pyx_missions.dll, __cdecl, 32-bit host records).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PYX_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.toolchain.cmake)
