# One objective evaluation of each PEtab benchmark problem on the NDF solver against SUNDIALS CVODES
# on the same generated model (petab_objective_driver.cpp), with the problem's import and build
# times. The driver is an archive here; the script imports each problem, links its model.cpp with
# the driver, these archives and SUNDIALS, and runs it. Run: bin/bench_petab_objective [-h]
find_package(yaml-cpp QUIET)
find_path(QV_SUNDIALS_CVODES_INCLUDE_DIR cvodes/cvodes.h)
find_library(QV_SUNDIALS_CVODES sundials_cvodes)
find_library(QV_SUNDIALS_NVECSERIAL sundials_nvecserial)
find_library(QV_SUNDIALS_SUNMATRIXDENSE sundials_sunmatrixdense)
find_library(QV_SUNDIALS_SUNLINSOLDENSE sundials_sunlinsoldense)
set(QUORVANT_PETAB_BENCHMARK_DIR "${PROJECT_SOURCE_DIR}/../shared/petab/benchmark" CACHE PATH
    "The PEtab benchmark problems (DIR/<P>/<P>.yaml) for bench_petab_objective")
if(NOT (TARGET petab AND TARGET qv_petab AND TARGET yaml-cpp AND QV_SUNDIALS_CVODES_INCLUDE_DIR AND QV_SUNDIALS_CVODES
        AND QV_SUNDIALS_NVECSERIAL AND QV_SUNDIALS_SUNMATRIXDENSE AND QV_SUNDIALS_SUNLINSOLDENSE))
  message(STATUS "petab, yaml-cpp or SUNDIALS CVODES missing: bench_petab_objective is not built")
  return()
endif()

add_library(qv_petab_bench_kit STATIC ${CMAKE_CURRENT_LIST_DIR}/petab_objective_driver.cpp)
target_include_directories(qv_petab_bench_kit PRIVATE ${PROJECT_SOURCE_DIR}/include ${QV_SUNDIALS_CVODES_INCLUDE_DIR})
target_link_libraries(qv_petab_bench_kit PRIVATE qv_warnings)

# In link order: each archive before the ones it calls.
set(_petab_bench_libs qv_petab_bench_kit qv_petab qv_petab_sim qv_petab_runtime qv_baselib qv_solverlib
    qv_event_machine qv_ndflib qv_nrlib qv_modeltables qv_common qv_sbml_runtime)
set(_petab_bench_link "")
foreach(lib ${_petab_bench_libs})
  string(APPEND _petab_bench_link " \"$<TARGET_FILE:${lib}>\"")
endforeach()
string(APPEND _petab_bench_link " \"$<TARGET_LINKER_FILE:yaml-cpp>\"")
foreach(lib ${QV_SUNDIALS_CVODES} ${QV_SUNDIALS_SUNLINSOLDENSE} ${QV_SUNDIALS_SUNMATRIXDENSE} ${QV_SUNDIALS_NVECSERIAL})
  string(APPEND _petab_bench_link " \"${lib}\"")
endforeach()

set(BENCH_CXX ${CMAKE_CXX_COMPILER})
set(BENCH_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(BENCH_PETAB_PROBLEMS ${QUORVANT_PETAB_BENCHMARK_DIR})
set(BENCH_PETAB_LINK "${_petab_bench_link}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_petab_objective.sh ${CMAKE_CURRENT_BINARY_DIR}/bench_petab_objective.sh.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/bin/bench_petab_objective
     INPUT ${CMAKE_CURRENT_BINARY_DIR}/bench_petab_objective.sh.in
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_custom_target(bench_petab_objective ALL)
add_dependencies(bench_petab_objective petab ${_petab_bench_libs})

# In a build with the tests as well: CVODES must reproduce every problem's likelihood. At the
# problems' tolerances (rtol 1e-8) the two agree to 1.5e-7 relative or better but for Crauste (1.2e-5,
# a solution sensitive to the error control); a simulation rule applied differently on either side
# moves an llh by far more.
if(QUORVANT_BUILD_TESTS AND EXISTS ${QUORVANT_PETAB_BENCHMARK_DIR})
  add_test(NAME bench_petab_objective_agrees
           COMMAND ${PROJECT_BINARY_DIR}/bin/bench_petab_objective --min-seconds 0 --max-delta 1e-4)
  set_tests_properties(bench_petab_objective_agrees PROPERTIES TIMEOUT 900 LABELS bench)
endif()
