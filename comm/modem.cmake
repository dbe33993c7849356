# The Hayes modem: information record, engine and component.
if(TARGET comm)
  target_sources(comm PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/ModemInfo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ModemEngine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ModemComp.cpp
  )
endif()
