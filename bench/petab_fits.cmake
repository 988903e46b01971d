# The fits of the PEtab benchmark problems against their best known values, and the cost and
# agreement of their gradients: scripts around the petab tool. Run: bin/bench_petab_fits [-h],
# bin/bench_petab_gradient.
if(NOT TARGET petab)
  return()
endif()
set(QUORVANT_PETAB_BENCHMARK_DIR "${PROJECT_SOURCE_DIR}/../shared/petab/benchmark" CACHE PATH
    "The PEtab benchmark problems (DIR/<P>/<P>.yaml)")
set(BENCH_PETAB_PROBLEMS ${QUORVANT_PETAB_BENCHMARK_DIR})
set(BENCH_PETAB_TOOL "$<TARGET_FILE:petab>")
foreach(script bench_petab_fits bench_petab_gradient)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.sh ${CMAKE_CURRENT_BINARY_DIR}/${script}.sh.in @ONLY)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/bin/${script} INPUT ${CMAKE_CURRENT_BINARY_DIR}/${script}.sh.in
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
