# The serial port component: properties, opening and closing, its event
# window, events and port users.
if(TARGET comm)
  target_sources(comm PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/SerialPort.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SerialPortEvents.cpp)
endif()
