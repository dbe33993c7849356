# The simulated sign: a library for tests and the signsim program.
# Included from tools/signsim.cmake, not added as a subdirectory: a
# subdirectory's build folder would be ${CMAKE_BINARY_DIR}/tools/signsim,
# the very path the program is built to.
set(_signsim ${CMAKE_CURRENT_LIST_DIR})
find_package(Threads REQUIRED)

add_library(signsim_lib STATIC
  ${_signsim}/src/Pty.cpp
  ${_signsim}/src/SignCore.cpp
  ${_signsim}/src/SignSim.cpp)
target_include_directories(signsim_lib PUBLIC ${_signsim}/include)
target_link_libraries(signsim_lib PUBLIC Threads::Threads)
set_target_properties(signsim_lib PROPERTIES AUTOMOC OFF)

add_executable(signsim ${_signsim}/src/main.cpp)
target_link_libraries(signsim PRIVATE signsim_lib toolmain)
set_target_properties(signsim PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

suite_gtest(signsim_tests
  SOURCES ${_signsim}/tests/SignSimTest.cpp
  LIBS signsim_lib
  LABELS threads)
if(TARGET signsim_tests)
  set_target_properties(signsim_tests PROPERTIES AUTOMOC OFF)
  target_include_directories(signsim_tests PRIVATE ${_signsim}/../../common/tests)
  target_compile_definitions(signsim_tests PRIVATE SIGNSIM_EXE="$<TARGET_FILE:signsim>")
  add_dependencies(signsim_tests signsim)
endif()

suite_fuzzer(signsim_framer_fuzzer
  SOURCES ${_signsim}/tests/SignFramerFuzz.cpp
  LIBS signsim_lib)
if(TARGET signsim_framer_fuzzer)
  set_target_properties(signsim_framer_fuzzer PROPERTIES AUTOMOC OFF)
endif()
