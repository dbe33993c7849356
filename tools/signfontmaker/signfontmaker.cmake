# The sign-font maker: a library the font tests link to make tagged fixture
# fonts, and the signfontmaker program (sample and tagged font sets).
# Included from tools/signfontmaker.cmake rather than added as a subdirectory:
# a subdirectory's build folder would be ${CMAKE_BINARY_DIR}/tools/signfontmaker,
# the very path the program is built to.
set(_sfm ${CMAKE_CURRENT_LIST_DIR})

add_library(signfontmaker_lib STATIC ${_sfm}/src/SignFontMaker.cpp)
target_include_directories(signfontmaker_lib PUBLIC ${_sfm}/include)
target_link_libraries(signfontmaker_lib PUBLIC platform Qt6::Core)
set_target_properties(signfontmaker_lib PROPERTIES AUTOMOC OFF)

add_executable(signfontmaker ${_sfm}/src/main.cpp)
target_link_libraries(signfontmaker PRIVATE signfontmaker_lib)
set_target_properties(signfontmaker PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

suite_gtest(signfontmaker_tests
  SOURCES ${_sfm}/tests/SignFontMakerTest.cpp
  LIBS signfontmaker_lib)
if(TARGET signfontmaker_tests)
  set_target_properties(signfontmaker_tests PROPERTIES AUTOMOC OFF)
  target_include_directories(signfontmaker_tests PRIVATE ${_sfm}/../../common/tests)
endif()
