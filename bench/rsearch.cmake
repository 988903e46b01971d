# Random search: the cost of rsearch per search over the bare simulations it makes, and the speed-up
# of a master with two slaves over one process. Run: bin/bench_rsearch [searches] [repetitions]
# The benchmark starts bin/rsearch_linear through mpiexec and replays the simulations in-process.
if(TARGET qv_rsearch_app AND TARGET qv_galib)
  if(NOT TARGET rsearch_linear)
    quorvant_add_programs(_linear ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)
  endif()
  set(_bench_mpiexec ${MPIEXEC_EXECUTABLE})
  execute_process(COMMAND ${MPIEXEC_EXECUTABLE} --version OUTPUT_VARIABLE _bench_mpiver ERROR_QUIET)
  if(_bench_mpiver MATCHES "Open MPI|OpenRTE")
    list(APPEND _bench_mpiexec --allow-run-as-root --oversubscribe)
  endif()
  string(REPLACE ";" " " _bench_mpiexec "${_bench_mpiexec}")
  add_library(bench_rsearch_model OBJECT ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)
  target_include_directories(bench_rsearch_model PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_executable(bench_rsearch ${CMAKE_CURRENT_LIST_DIR}/bench_rsearch.cpp $<TARGET_OBJECTS:bench_rsearch_model>)
  target_link_libraries(bench_rsearch PRIVATE qv_galib qv_searchlib quorvant_core qv_warnings)
  target_compile_definitions(bench_rsearch PRIVATE
    QV_RSEARCH="${PROJECT_BINARY_DIR}/bin/rsearch_linear" QV_MPIEXEC="${_bench_mpiexec}")
  add_dependencies(bench_rsearch rsearch_linear)
endif()
