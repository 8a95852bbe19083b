# Has devhost print the OpenAPI document of a plugin and validates it with
# openapi_validate.mjs (Node.js and the npm package @apidevtools/swagger-parser, both installed
# by scripts/setup.sh):
#
#   cmake -DDEVHOST=path/to/devhost -DPLUGIN=path/to/plugin -DOUTPUT=document.json
#         -P tools/devhost/openapi_validate.cmake
#
# Fails with what is missing when Node.js or the package is not there, rather than with the
# validator's stack trace.
foreach(variable DEVHOST PLUGIN OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "openapi_validate.cmake needs -D${variable}=...")
  endif()
endforeach()
set(validator "${CMAKE_CURRENT_LIST_DIR}/openapi_validate.mjs")

find_program(NODE NAMES node nodejs)
if(NOT NODE)
  message(FATAL_ERROR "Node.js is not installed, so the OpenAPI document cannot be validated: "
                      "run scripts/setup.sh (Debian packages nodejs and npm)")
endif()
# Resolved from the validator's folder, as its import is.
execute_process(
  COMMAND "${NODE}" -e "require.resolve('@apidevtools/swagger-parser')"
  WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}"
  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
if(missing)
  message(FATAL_ERROR "The npm package @apidevtools/swagger-parser is not installed, so the "
                      "OpenAPI document cannot be validated: run scripts/setup.sh (npm ci)")
endif()

execute_process(
  COMMAND "${DEVHOST}" --openapi --plugin "${PLUGIN}"
  OUTPUT_FILE "${OUTPUT}"
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "devhost --openapi --plugin ${PLUGIN} failed (${status}): ${errors}")
endif()

execute_process(COMMAND "${NODE}" "${validator}" "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The OpenAPI document ${OUTPUT} did not validate (${status})")
endif()
