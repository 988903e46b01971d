# NDF solver against SUNDIALS CVODE (BDF, dense): plain integration, and event location against
# CVODE's root finding (state and time events with a restart after each). Built only where SUNDIALS
# is installed (Debian: libsundials-dev); run: bin/bench_ndf_vs_cvode [min seconds per measurement],
# bin/bench_events_vs_cvode [min seconds per measurement] [problem name].
find_path(QV_SUNDIALS_INCLUDE_DIR cvode/cvode.h)
find_library(QV_SUNDIALS_CVODE sundials_cvode)
find_library(QV_SUNDIALS_NVECSERIAL sundials_nvecserial)
find_library(QV_SUNDIALS_SUNMATRIXDENSE sundials_sunmatrixdense)
find_library(QV_SUNDIALS_SUNLINSOLDENSE sundials_sunlinsoldense)
if(QV_SUNDIALS_INCLUDE_DIR AND QV_SUNDIALS_CVODE AND QV_SUNDIALS_NVECSERIAL
   AND QV_SUNDIALS_SUNMATRIXDENSE AND QV_SUNDIALS_SUNLINSOLDENSE)
  foreach(bench bench_ndf_vs_cvode bench_events_vs_cvode)
    add_executable(${bench} ${CMAKE_CURRENT_LIST_DIR}/${bench}.cpp)
    target_include_directories(${bench} PRIVATE ${QV_SUNDIALS_INCLUDE_DIR})
    target_link_libraries(${bench} PRIVATE qv_ndflib qv_nrlib qv_common qv_warnings
      ${QV_SUNDIALS_CVODE} ${QV_SUNDIALS_SUNLINSOLDENSE} ${QV_SUNDIALS_SUNMATRIXDENSE}
      ${QV_SUNDIALS_NVECSERIAL})
  endforeach()
else()
  message(STATUS "SUNDIALS CVODE not found: bench_ndf_vs_cvode and bench_events_vs_cvode are not built")
endif()
