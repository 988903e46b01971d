# quorvant_add_library(<target> [SOURCES <files>...] [DEPS <targets>...])
# A static library built with the project's warning flags and the public headers under include/:
# of the listed sources, or of every .cpp file in the calling directory. DEPS are the libraries
# it calls, all of them below it.
function(quorvant_add_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    set(srcs ${ARG_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(${target} PRIVATE qv_warnings)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} MPI::MPI_CXX)
endfunction()
