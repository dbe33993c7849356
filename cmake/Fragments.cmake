# suite_include_fragments(): includes every *.cmake file of the current source
# directory, in name order, and adds every subdirectory that has a
# CMakeLists.txt. Each area of a folder keeps its own fragment or subfolder.
macro(suite_include_fragments)
  file(GLOB _fragments CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cmake")
  list(SORT _fragments)
  foreach(_f IN LISTS _fragments)
    include(${_f})
  endforeach()
  file(GLOB _subdirs LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT _subdirs)
  foreach(_d IN LISTS _subdirs)
    if(IS_DIRECTORY ${_d} AND EXISTS ${_d}/CMakeLists.txt)
      add_subdirectory(${_d})
    endif()
  endforeach()
endmacro()
