# suite_gtest(NAME SOURCES... LIBS ... [LABELS ...])
# A GoogleTest executable registered with ctest. Tests labelled "threads" are the
# ones the ThreadSanitizer pass builds; with THREADED_TESTS_ONLY the rest are skipped.
function(suite_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(THREADED_TESTS_ONLY AND NOT "threads" IN_LIST T_LABELS)
    return()
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# suite_qtest(NAME SOURCES... LIBS ... [LABELS ...]): a Qt Test executable (forms).
function(suite_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(THREADED_TESTS_ONLY AND NOT "threads" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} testsupport Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "gui;${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# suite_fuzzer(NAME SOURCES... LIBS ...): a libFuzzer harness, built only with FUZZERS.
function(suite_fuzzer name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT FUZZERS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  add_dependencies(fuzzers ${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${T_LIBS})
endfunction()

if(FUZZERS AND NOT TARGET fuzzers)
  add_custom_target(fuzzers)
endif()
