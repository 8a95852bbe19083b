# Files built into a program as data: a generated C++ source defines a function that returns
# every file with its name, content type, entity tag and bytes.
#
#   pyx_embed_files(<target> OUTPUT <file.cpp> FUNCTION <qualified name> HEADER <include>
#                   FILES <name>=<path> ...)
#
# adds the generated <file.cpp> to <target>. It is written by cmake/PyxEmbedFilesScript.cmake
# in CMake's script mode (so the native and the cross builds generate it the same way, with no
# program compiled for the build machine) and written again whenever a listed file, the list
# or the script changes. The function is declared in <include> as
#   std::span<const EmbeddedFile> <FUNCTION>();
# with EmbeddedFile {name, contentType, etag, content}, all std::string_view.
include_guard(GLOBAL)

set(PYX_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PyxEmbedFilesScript.cmake)

function(pyx_embed_files target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "OUTPUT;FUNCTION;HEADER" "FILES")
  if(NOT ARG_OUTPUT OR NOT ARG_FUNCTION OR NOT ARG_HEADER OR NOT ARG_FILES)
    message(FATAL_ERROR "pyx_embed_files(${target}): OUTPUT, FUNCTION, HEADER and FILES are required")
  endif()
  set(paths "")
  foreach(entry IN LISTS ARG_FILES)
    if(NOT entry MATCHES "^([^=]+)=(.+)$")
      message(FATAL_ERROR "pyx_embed_files(${target}): '${entry}' is not NAME=PATH")
    endif()
    list(APPEND paths "${CMAKE_MATCH_2}")
  endforeach()
  # The entries travel to the script as one argument; "|" never occurs in them.
  list(JOIN ARG_FILES "|" entries)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${ARG_OUTPUT}" "-DFUNCTION=${ARG_FUNCTION}"
            "-DHEADER=${ARG_HEADER}" "-DENTRIES=${entries}" -P ${PYX_EMBED_SCRIPT}
    DEPENDS ${paths} ${PYX_EMBED_SCRIPT}
    COMMENT "Embedding ${target}'s files into ${ARG_OUTPUT}"
    VERBATIM)
  target_sources(${target} PRIVATE ${ARG_OUTPUT})
endfunction()
