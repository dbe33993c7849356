# The simulated Hayes modem (tools/modemsim/).
include(${CMAKE_CURRENT_LIST_DIR}/modemsim/modemsim.cmake)
