# Time and peak memory of qv_results csv and plot on a result file of about 100 MB (a long parameter
# survey of the linear chain written by the simulator). Run: bin/bench_results [megabytes]
if(TARGET qv_simulator_app AND TARGET qv_results)
  add_library(bench_results_model OBJECT ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)
  target_include_directories(bench_results_model PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_executable(qv_results_bench_simulator $<TARGET_OBJECTS:qv_simulator_app> $<TARGET_OBJECTS:bench_results_model>)
  target_link_libraries(qv_results_bench_simulator PRIVATE quorvant_core)
  set(BENCH_MPIEXEC ${MPIEXEC_EXECUTABLE})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_results.sh ${PROJECT_BINARY_DIR}/bin/bench_results
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 WORLD_READ WORLD_EXECUTE)
endif()
