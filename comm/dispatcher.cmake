# The dispatcher: port records and threads, buffers, triggers, line settings,
# trace and log.
if(TARGET comm)
  target_sources(comm PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/PortDispatchRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/PortDispatchBuffers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/PortDispatchTriggers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/PortDispatchLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/PortDispatchTrace.cpp
  )
  find_package(Threads REQUIRED)
  target_link_libraries(comm PUBLIC Threads::Threads)
endif()
