# What the 32-bit Windows cross build needs beyond the toolchain: the third-party code it
# compiles itself from Debian's packages (installed by scripts/setup.sh, never kept in the
# repository), static runtime libraries, and Wine as the emulator CTest runs programs with.

# The DLL and every program need only Windows' own DLLs: libgcc, libstdc++ and winpthread go in.
add_link_options(-static)
# A Windows executable reserves 2 MB of stack against Linux's 8 MB; recursive readers that
# stop at the nesting limit are sized for the latter.
add_link_options(-Wl,--stack,8388608)

# libyaml from Debian's source package (same version as the native libyaml-dev).
set(PYX_LIBYAML_SOURCE /usr/local/src/pyx-deps/libyaml CACHE PATH
    "Unpacked libyaml source package (scripts/setup.sh puts it there)")
pyx_require("libyaml sources" PACKAGE "libyaml (source package)"
            FILE ${PYX_LIBYAML_SOURCE}/src/parser.c)
file(STRINGS ${PYX_LIBYAML_SOURCE}/CMakeLists.txt yaml_version_lines
     REGEX "^set \\(YAML_VERSION_(MAJOR|MINOR|PATCH) [0-9]+\\)")
foreach(line ${yaml_version_lines})
  string(REGEX REPLACE "^set \\(YAML_VERSION_([A-Z]+) ([0-9]+)\\)" "\\1;\\2" pair "${line}")
  list(GET pair 0 part)
  list(GET pair 1 number)
  set(yaml_${part} ${number})
endforeach()
file(GLOB yaml_sources ${PYX_LIBYAML_SOURCE}/src/*.c)
add_library(yaml STATIC ${yaml_sources})
target_include_directories(yaml SYSTEM PUBLIC ${PYX_LIBYAML_SOURCE}/include)
target_compile_definitions(yaml
  PUBLIC YAML_DECLARE_STATIC
  PRIVATE YAML_VERSION_MAJOR=${yaml_MAJOR} YAML_VERSION_MINOR=${yaml_MINOR}
          YAML_VERSION_PATCH=${yaml_PATCH}
          YAML_VERSION_STRING="${yaml_MAJOR}.${yaml_MINOR}.${yaml_PATCH}")
target_compile_options(yaml PRIVATE -w)

# cpp-httplib for the development host, header-only: the whole single header from Debian's
# source package, never /usr/include/httplib.h, which libcpp-httplib-dev splits into
# declarations and a Linux library. Plain HTTP on the loopback: no TLS, no compression.
set(PYX_HTTPLIB_SOURCE /usr/local/src/pyx-deps/cpp-httplib CACHE PATH
    "Unpacked cpp-httplib source package (scripts/setup.sh puts it there)")
pyx_require("cpp-httplib sources" PACKAGE "cpp-httplib (source package)"
            FILE ${PYX_HTTPLIB_SOURCE}/httplib.h)
# The package's top folder has no other header that could stand in for a system one.
add_library(pyx_httplib INTERFACE)
target_include_directories(pyx_httplib SYSTEM INTERFACE ${PYX_HTTPLIB_SOURCE})
target_link_libraries(pyx_httplib INTERFACE ws2_32)
# Room for fifty simultaneous connects (the library's default backlog is 5). On Linux the
# library comes compiled, so devhost widens the backlog of its socket instead.
target_compile_definitions(pyx_httplib INTERFACE CPPHTTPLIB_LISTEN_BACKLOG=512)

# RapidJSON is header-only. Its folder is reached through a link in a folder of its own, so
# the rest of /usr/include (glibc's headers) never comes before the mingw-w64 ones.
set(PYX_RAPIDJSON_INCLUDE /usr/include/rapidjson CACHE PATH "RapidJSON headers (rapidjson-dev)")
pyx_require(RapidJSON PACKAGE rapidjson-dev FILE ${PYX_RAPIDJSON_INCLUDE}/reader.h)
set(cross_include ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${cross_include})
file(CREATE_LINK ${PYX_RAPIDJSON_INCLUDE} ${cross_include}/rapidjson SYMBOLIC)
include_directories(SYSTEM ${cross_include})

# GoogleTest from the sources libgtest-dev ships (they define the GTest:: targets too).
if(PYX_TESTS)
  set(PYX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (libgtest-dev)")
  pyx_require("GoogleTest sources" PACKAGE libgtest-dev FILE ${PYX_GOOGLETEST_SOURCE}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${PYX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Third-party code: its warnings are not ours to fix.
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
  # Listing a program's tests means running it, which only works at test time here.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# Every program runs under Wine with a prefix inside the build tree, quiet and without a
# display. 32-bit programs need Wine's 32-bit loader, 64-bit ones its 64-bit loader (the
# `wine` front script prefers the 32-bit one whenever it is installed).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(PYX_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  find_program(PYX_WINE NAMES wine)
endif()
if(PYX_WINE)
  set(PYX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
else()
  message(WARNING "Wine not found: the Windows programs build but CTest cannot run them "
                  "(Debian packages wine and wine64; run scripts/setup.sh)")
endif()
