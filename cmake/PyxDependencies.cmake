# Every third-party dependency is checked when a tree is configured: a missing one stops the
# configure step with the Debian package that brings it, instead of showing up as a compile or
# link error deep in the build. scripts/setup.sh installs all of them.
#
#   pyx_require(<what> PACKAGE <Debian package> <how>)
#
# <how> is one of:
#   HEADER <file>                 find_path finds <file>; cached in PYX_<WHAT>_INCLUDE_DIR
#   LIBRARY <name>                find_library finds lib<name>; cached in PYX_<WHAT>_LIBRARY
#   PROGRAM <name>                find_program finds <name>; cached in PYX_<WHAT>_PROGRAM
#   FIND_PACKAGE <name>           find_package(<name>) finds it (its targets stay defined)
#   PKG_CONFIG <module>           pkg-config knows <module> (pkg-config itself is checked too)
#   FILE <path>                   <path> exists (source folders the cross build compiles)
#   LINKS <flags> [SOURCE <code>] a small program (by default an empty main) compiles and links
#                                 with <flags> (compiler runtimes such as libFuzzer)
#
# A cached location may be set on the command line (-DPYX_RAPIDJSON_INCLUDE_DIR=...); the
# check then tests that location. A failed check is never remembered: the next configure
# looks again, so running scripts/setup.sh and configuring again is all it takes.
#
# Only find_program is usable before project(); the mingw-w64 toolchain files use PROGRAM to
# check their compilers.
include_guard(GLOBAL)

function(pyx_require what)
  # (PARSE_ARGV keeps the semicolons of a SOURCE.)
  cmake_parse_arguments(PARSE_ARGV 1 ARG ""
                        "PACKAGE;HEADER;LIBRARY;PROGRAM;FIND_PACKAGE;PKG_CONFIG;FILE;SOURCE" "LINKS")
  if(NOT ARG_PACKAGE)
    message(FATAL_ERROR "pyx_require(${what}): PACKAGE is required")
  endif()
  string(MAKE_C_IDENTIFIER "${what}" id)
  string(TOUPPER "${id}" id)
  set(missing "")

  if(ARG_HEADER)
    set(var PYX_${id}_INCLUDE_DIR)
    find_path(${var} ${ARG_HEADER} DOC "Folder holding ${ARG_HEADER} (${ARG_PACKAGE})")
    if(NOT ${var} OR NOT EXISTS "${${var}}/${ARG_HEADER}")
      set(missing "no ${ARG_HEADER} in the include path")
      if(${var})
        set(missing "${var}=${${var}} has no ${ARG_HEADER}")
      endif()
      unset(${var} CACHE)
    endif()
  elseif(ARG_LIBRARY)
    set(var PYX_${id}_LIBRARY)
    find_library(${var} ${ARG_LIBRARY} DOC "lib${ARG_LIBRARY} (${ARG_PACKAGE})")
    if(NOT ${var} OR NOT EXISTS "${${var}}")
      set(missing "no lib${ARG_LIBRARY} in the library path")
      if(${var})
        set(missing "${var}=${${var}} does not exist")
      endif()
      unset(${var} CACHE)
    endif()
  elseif(ARG_PROGRAM)
    set(var PYX_${id}_PROGRAM)
    find_program(${var} ${ARG_PROGRAM} DOC "${ARG_PROGRAM} (${ARG_PACKAGE})")
    if(NOT ${var} OR NOT EXISTS "${${var}}")
      set(missing "no ${ARG_PROGRAM} on the PATH")
      if(${var})
        set(missing "${var}=${${var}} does not exist")
      endif()
      unset(${var} CACHE)
    endif()
  elseif(ARG_FIND_PACKAGE)
    find_package(${ARG_FIND_PACKAGE} QUIET)
    if(NOT ${ARG_FIND_PACKAGE}_FOUND)
      set(missing "find_package(${ARG_FIND_PACKAGE}) found nothing")
    endif()
  elseif(ARG_PKG_CONFIG)
    # (In this scope: pkg_check_modules needs the variables FindPkgConfig sets.)
    find_package(PkgConfig QUIET)
    if(NOT PkgConfig_FOUND)
      set(missing "no pkg-config to ask for ${ARG_PKG_CONFIG}")
      set(ARG_PACKAGE pkg-config)
    else()
      pkg_check_modules(PYX_${id} QUIET ${ARG_PKG_CONFIG})
      if(NOT PYX_${id}_FOUND)
        set(missing "pkg-config knows no module ${ARG_PKG_CONFIG}")
      endif()
    endif()
  elseif(ARG_FILE)
    if(NOT EXISTS "${ARG_FILE}")
      set(missing "no ${ARG_FILE}")
    endif()
  elseif(ARG_LINKS)
    include(CheckCXXSourceCompiles)
    if(NOT ARG_SOURCE)
      set(ARG_SOURCE "int main() { return 0; }")
    endif()
    set(var PYX_${id}_LINKS)
    list(JOIN ARG_LINKS " " flags)
    set(CMAKE_REQUIRED_FLAGS "${flags}")
    set(CMAKE_REQUIRED_LINK_OPTIONS ${ARG_LINKS})
    check_cxx_source_compiles("${ARG_SOURCE}" ${var})
    if(NOT ${var})
      set(missing "a program does not link with ${flags}")
      unset(${var} CACHE)
    endif()
  else()
    message(FATAL_ERROR "pyx_require(${what}): say how to find it (HEADER, LIBRARY, ...)")
  endif()

  if(missing)
    message(FATAL_ERROR
      "Missing dependency: ${what} (${missing}).\n"
      "Debian package: ${ARG_PACKAGE}. Run scripts/setup.sh (as root), which installs every "
      "dependency, then configure again.")
  endif()
endfunction()
