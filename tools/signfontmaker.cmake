# The sign-font maker (tools/signfontmaker/); its build file says why it is a fragment.
include(${CMAKE_CURRENT_LIST_DIR}/signfontmaker/signfontmaker.cmake)
