# Event location of the NDF solver against SUNDIALS CVODE's root finding (BDF, dense), state and
# time events with a restart after each. Built only where SUNDIALS is installed (Debian:
# libsundials-dev); run: bin/bench_events_vs_cvode [min seconds per measurement] [problem name].
find_path(QV_SUNDIALS_INCLUDE_DIR cvode/cvode.h)
find_library(QV_SUNDIALS_CVODE sundials_cvode)
find_library(QV_SUNDIALS_NVECSERIAL sundials_nvecserial)
find_library(QV_SUNDIALS_SUNMATRIXDENSE sundials_sunmatrixdense)
find_library(QV_SUNDIALS_SUNLINSOLDENSE sundials_sunlinsoldense)
if(QV_SUNDIALS_INCLUDE_DIR AND QV_SUNDIALS_CVODE AND QV_SUNDIALS_NVECSERIAL
   AND QV_SUNDIALS_SUNMATRIXDENSE AND QV_SUNDIALS_SUNLINSOLDENSE)
  add_executable(bench_events_vs_cvode ${CMAKE_CURRENT_LIST_DIR}/bench_events_vs_cvode.cpp)
  target_include_directories(bench_events_vs_cvode PRIVATE ${QV_SUNDIALS_INCLUDE_DIR})
  target_link_libraries(bench_events_vs_cvode PRIVATE qv_ndflib qv_nrlib qv_common qv_warnings
    ${QV_SUNDIALS_CVODE} ${QV_SUNDIALS_SUNLINSOLDENSE} ${QV_SUNDIALS_SUNMATRIXDENSE}
    ${QV_SUNDIALS_NVECSERIAL})
else()
  message(STATUS "SUNDIALS CVODE not found: bench_events_vs_cvode is not built")
endif()
