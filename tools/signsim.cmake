# The simulated sign (tools/signsim/); its build file says why it is a fragment.
include(${CMAKE_CURRENT_LIST_DIR}/signsim/signsim.cmake)
