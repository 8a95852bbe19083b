# One helper per kind of target, so every subsystem's CMakeLists.txt stays a few lines.
#
#   pyx_add_library(<name> SOURCES ... [DEPS ...])   static library pyx_<name>
#   pyx_add_test(<name> SOURCES ... [DEPS ...])      GoogleTest binary, registered with CTest
#   pyx_add_benchmark(<name> SOURCES ... [DEPS ...]) Google Benchmark binary (PYX_BENCHMARKS)
#   pyx_add_fuzzer(<name> SOURCES ... [DEPS ...])    libFuzzer binary (PYX_FUZZERS)

function(pyx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(pyx_${name} STATIC ${ARG_SOURCES})
  target_include_directories(pyx_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(pyx_${name} PUBLIC ${ARG_DEPS})
endfunction()

function(pyx_add_test name)
  if(NOT PYX_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

function(pyx_add_benchmark name)
  if(NOT PYX_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

function(pyx_add_fuzzer name)
  if(NOT PYX_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

# pyx_add_subsystem(<name> [DEPS ...] [TEST_DEPS ...])
#
# Everything of a subsystem lives in one folder, beside what it tests:
#   foo.h / foo.cpp                   -> static library pyx_<name>
#   foo_test.cpp                      -> one GoogleTest binary <name>_test
#   foo_concurrency_test.cpp          -> <name>_concurrency_test, CTest label "concurrency"
#                                        (the ThreadSanitizer job runs this label)
#   foo_faults_test.cpp               -> <name>_faults_test, CTest label "faults"
#                                        (failed allocations, failing hosts)
#   foo_benchmark.cpp                 -> one Google Benchmark binary <name>_benchmark
#   foo_fuzzer.cpp                    -> one libFuzzer binary per file, <name>_foo_fuzzer
function(pyx_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  file(GLOB concurrency_tests CONFIGURE_DEPENDS ${dir}/*_concurrency_test.cpp)
  file(GLOB faults_tests CONFIGURE_DEPENDS ${dir}/*_faults_test.cpp)
  file(GLOB benchmarks CONFIGURE_DEPENDS ${dir}/*_benchmark.cpp)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${dir}/*_fuzzer.cpp)
  set(sources ${all})
  foreach(list tests benchmarks fuzzers)
    if(${list})
      list(REMOVE_ITEM sources ${${list}})
    endif()
  endforeach()
  foreach(list concurrency_tests faults_tests)
    if(${list})
      list(REMOVE_ITEM tests ${${list}})
    endif()
  endforeach()

  pyx_add_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
  if(tests)
    pyx_add_test(${name}_test SOURCES ${tests} DEPS pyx_${name} ${ARG_TEST_DEPS})
  endif()
  if(concurrency_tests)
    pyx_add_test(${name}_concurrency_test SOURCES ${concurrency_tests}
                 DEPS pyx_${name} ${ARG_TEST_DEPS} LABELS concurrency)
  endif()
  if(faults_tests)
    pyx_add_test(${name}_faults_test SOURCES ${faults_tests}
                 DEPS pyx_${name} ${ARG_TEST_DEPS} LABELS faults)
  endif()
  if(benchmarks)
    pyx_add_benchmark(${name}_benchmark SOURCES ${benchmarks} DEPS pyx_${name} ${ARG_TEST_DEPS})
  endif()
  foreach(fuzzer ${fuzzers})
    get_filename_component(stem ${fuzzer} NAME_WE)
    pyx_add_fuzzer(${name}_${stem} SOURCES ${fuzzer} DEPS pyx_${name})
  endforeach()
endfunction()
