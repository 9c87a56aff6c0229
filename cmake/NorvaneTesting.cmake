# Test helpers shared by every folder.
#
# norvane_add_test(NAME n SOURCES ... [LIBS ...] [INCLUDES ...] [DEPENDS ...] [LABELS ...] [ENV ...])
#   Builds a GoogleTest executable and registers it with ctest. Labels:
#     sanitize     - also built and run in the AddressSanitizer + UBSan build
#     concurrency  - also built and run in the ThreadSanitizer build
#   DEPENDS names targets (test device libraries, daemons) that must be built first.
#
# norvane_add_fuzzer(NAME n SOURCES ... [LIBS ...] CORPUS dir...)
#   Builds a libFuzzer target when NORVANE_FUZZ is on; scripts/fuzz.sh (and scripts/test.sh
#   through it) runs every one listed in ${CMAKE_BINARY_DIR}/fuzzers.txt for a bounded time. The
#   first CORPUS folder is the target's kept corpus, into which scripts/fuzz.sh merges new
#   coverage; the others are seed folders, only read.

set_property(GLOBAL PROPERTY NORVANE_SANITIZE_TARGETS "")
set_property(GLOBAL PROPERTY NORVANE_CONCURRENCY_TARGETS "")
set_property(GLOBAL PROPERTY NORVANE_FUZZ_LINES "")
set_property(GLOBAL PROPERTY NORVANE_FUZZ_TARGETS "")

function(norvane_add_test)
  if(NOT NORVANE_TESTS OR NORVANE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;INCLUDES;DEPENDS;LABELS;ENV" ${ARGN})
  # A sanitizer build only builds the tests that are meant for it.
  if(NORVANE_SANITIZER STREQUAL "address" AND NOT "sanitize" IN_LIST T_LABELS)
    return()
  endif()
  if(NORVANE_SANITIZER STREQUAL "thread" AND NOT "concurrency" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  if(T_INCLUDES)
    target_include_directories(${T_NAME} PRIVATE ${T_INCLUDES})
  endif()
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(env "NORVANE_BIN_DIR=${NORVANE_BIN_DIR}" "NORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  list(APPEND env ${T_ENV})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${env}" TIMEOUT 600)
  if("sanitize" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY NORVANE_SANITIZE_TARGETS ${T_NAME})
  endif()
  if("concurrency" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY NORVANE_CONCURRENCY_TARGETS ${T_NAME})
  endif()
endfunction()

function(norvane_add_fuzzer)
  if(NOT NORVANE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;CORPUS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  list(JOIN F_CORPUS " " corpus)
  set_property(GLOBAL APPEND PROPERTY NORVANE_FUZZ_LINES "${CMAKE_BINARY_DIR}/fuzz/${F_NAME} ${corpus}")
  set_property(GLOBAL APPEND PROPERTY NORVANE_FUZZ_TARGETS ${F_NAME})
endfunction()

# Aggregate targets: sanitize_tests, concurrency_tests, fuzzers (+ the list of fuzzers to run).
function(norvane_finish_test_groups)
  get_property(san GLOBAL PROPERTY NORVANE_SANITIZE_TARGETS)
  get_property(con GLOBAL PROPERTY NORVANE_CONCURRENCY_TARGETS)
  get_property(fuzz GLOBAL PROPERTY NORVANE_FUZZ_LINES)
  get_property(fuzz_targets GLOBAL PROPERTY NORVANE_FUZZ_TARGETS)
  add_custom_target(sanitize_tests)
  add_custom_target(fuzzers)
  if(fuzz_targets)
    add_dependencies(fuzzers ${fuzz_targets})
  endif()
  add_custom_target(concurrency_tests)
  if(san)
    add_dependencies(sanitize_tests ${san})
  endif()
  if(con)
    add_dependencies(concurrency_tests ${con})
  endif()
  list(JOIN fuzz "\n" fuzz_text)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzzers.txt "${fuzz_text}\n")
endfunction()
