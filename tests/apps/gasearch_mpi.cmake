# gasearch on several processes: master/worker runs of the fitting example and the linear chain
# under mpiexec, and a worker killed mid-run.
if(TARGET qv_gasearch_app)
  quorvant_add_test(test_gasearch_mpi SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_gasearch_mpi.cpp)
  add_dependencies(test_gasearch_mpi gasearch_fitting gasearch_linear)
endif()
