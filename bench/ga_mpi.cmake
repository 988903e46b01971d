# Speed-up of gasearch with two workers (mpiexec -n 3) over one process on the same fixed work, with
# whole island-generations or single individuals dealt out,
# and the share of its time the master spends outside waiting. Run: bin/bench_ga_mpi [generations]
# The program is gasearch built for the data-fitting example; the script finds it beside itself.
if(TARGET qv_gasearch_app AND TARGET qv_galib)
  add_library(bench_ga_mpi_model OBJECT ${PROJECT_SOURCE_DIR}/models/fitting/fitting.cpp)
  target_include_directories(bench_ga_mpi_model PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_executable(gasearch_bench_fitting $<TARGET_OBJECTS:qv_gasearch_app> $<TARGET_OBJECTS:bench_ga_mpi_model>)
  target_link_libraries(gasearch_bench_fitting PRIVATE qv_galib quorvant_core)
  set(BENCH_MPIEXEC ${MPIEXEC_EXECUTABLE})
  set(BENCH_MODEL ${PROJECT_SOURCE_DIR}/models/fitting/fitting.in)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_ga_mpi.sh ${PROJECT_BINARY_DIR}/bin/bench_ga_mpi
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 WORLD_READ WORLD_EXECUTE)
endif()
