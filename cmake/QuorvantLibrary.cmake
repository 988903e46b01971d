# quorvant_add_library(<target> [DEPS <targets>...])
# A static library made of every .cpp file in the calling directory, built with the project's
# warning flags and the public headers under include/.
function(quorvant_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(${target} PRIVATE qv_warnings)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} MPI::MPI_CXX)
    # The model core and the solvers call each other (driver <-> Newton-Raphson).
    set_target_properties(${target} PROPERTIES LINK_INTERFACE_MULTIPLICITY 3)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/include)
  endif()
endfunction()
