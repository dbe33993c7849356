# The simulated Hayes modem, with the simulated sign behind it.
# Included from tools/modemsim.cmake (see signsim/signsim.cmake for why).
set(_modemsim ${CMAKE_CURRENT_LIST_DIR})

add_library(modemsim_lib STATIC ${_modemsim}/src/ModemSim.cpp)
target_include_directories(modemsim_lib PUBLIC ${_modemsim}/include)
target_link_libraries(modemsim_lib PUBLIC signsim_lib)
set_target_properties(modemsim_lib PROPERTIES AUTOMOC OFF)

add_executable(modemsim ${_modemsim}/src/main.cpp)
target_link_libraries(modemsim PRIVATE modemsim_lib toolmain)
set_target_properties(modemsim PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

suite_gtest(modemsim_tests
  SOURCES ${_modemsim}/tests/ModemSimTest.cpp
  LIBS modemsim_lib
  LABELS threads)
if(TARGET modemsim_tests)
  set_target_properties(modemsim_tests PROPERTIES AUTOMOC OFF)
  target_include_directories(modemsim_tests PRIVATE
    ${_modemsim}/../signsim/tests
    ${_modemsim}/../../common/tests)
endif()
