# Cross build for Windows with Debian's mingw-w64 (posix threads). Included by the two
# toolchain files that name the target:
#   i686-w64-mingw32.toolchain.cmake    the real target, a 32-bit DLL
#   x86_64-w64-mingw32.toolchain.cmake  the same sources for 64-bit Windows, to run the
#                                       Windows code under 64-bit Wine where a machine
#                                       cannot run 32-bit programs
# The programs it builds run under Wine through CTest's cross-compiling emulator, which the
# project sets up (a wrapper with a Wine prefix inside the build tree).
set(CMAKE_SYSTEM_NAME Windows)

# A missing cross compiler stops here with its package named (project() would only say that
# it is not on the PATH).
include(${CMAKE_CURRENT_LIST_DIR}/PyxDependencies.cmake)
string(REPLACE "_" "-" mingw_package_arch ${CMAKE_SYSTEM_PROCESSOR})
pyx_require(mingw-w64 PACKAGE g++-mingw-w64-${mingw_package_arch}-posix
            PROGRAM ${PYX_MINGW_TRIPLE}-g++-posix)

set(CMAKE_C_COMPILER ${PYX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PYX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PYX_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 sysroot only: the host's /usr/include would
# hand glibc's headers to a Windows compiler.
set(CMAKE_FIND_ROOT_PATH /usr/${PYX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
