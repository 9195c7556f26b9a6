# The libFuzzer targets need clang; the main build may use another compiler, so they are built by
# a nested clang build of the core library (with address and undefined-behaviour sanitizers) and
# each is run by ctest for a bounded time.
find_program(VANTREL_CLANGXX NAMES clang++ clang++-14)
if(NOT VANTREL_CLANGXX)
  message(WARNING "clang++ not found: the fuzz tests are skipped")
  return()
endif()

include(ExternalProject)
set(VANTREL_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz-build)
ExternalProject_Add(vantrel_fuzzers
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${VANTREL_FUZZ_DIR}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VANTREL_CLANGXX} -DVANTREL_FUZZ_ONLY=ON
             -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${VANTREL_FUZZ_DIR}/bin
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

set(VANTREL_FUZZ_SECONDS 20 CACHE STRING "How long ctest runs each fuzz target")
include(${CMAKE_SOURCE_DIR}/fuzz/Targets.cmake)
foreach(target IN LISTS VANTREL_FUZZ_TARGETS)
  add_test(NAME fuzz_${target}
    COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run.sh ${VANTREL_FUZZ_DIR}/bin/${target}
            ${CMAKE_BINARY_DIR}/fuzz-corpus/${target} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target}
            ${VANTREL_FUZZ_SECONDS})
  set_tests_properties(fuzz_${target} PROPERTIES LABELS fuzz TIMEOUT 120)
endforeach()
