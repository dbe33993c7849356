# The modem dialer: dialing with retries through the modem component.
if(TARGET comm)
  target_sources(comm PRIVATE ${CMAKE_CURRENT_LIST_DIR}/src/ModemDialer.cpp)
endif()
