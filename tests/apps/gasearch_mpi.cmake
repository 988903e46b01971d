# gasearch on several processes: master/worker runs of the fitting example and the linear chain
# under mpiexec, and a worker killed mid-run; the work dealt out per individual, and the
# refinement of chosen individuals with a model that refines (gasearch_refine).
if(TARGET qv_gasearch_app)
  quorvant_add_test(test_gasearch_mpi SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_gasearch_mpi.cpp)
  add_dependencies(test_gasearch_mpi gasearch_fitting gasearch_linear)

  add_library(qv_model_gasearch_refine OBJECT ${CMAKE_CURRENT_LIST_DIR}/gasearch_refine_model.cpp)
  target_include_directories(qv_model_gasearch_refine PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(qv_model_gasearch_refine PRIVATE qv_warnings)
  add_executable(gasearch_refine $<TARGET_OBJECTS:qv_gasearch_app> $<TARGET_OBJECTS:qv_model_gasearch_refine>)
  target_link_libraries(gasearch_refine PRIVATE qv_galib quorvant_core)
  quorvant_add_test(test_gasearch_individual SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_gasearch_individual.cpp)
  add_dependencies(test_gasearch_individual gasearch_fitting gasearch_linear gasearch_refine)
endif()

# A run stopped at a checkpoint and resumed, on one process and dealing out individuals.
if(TARGET qv_gasearch_app)
  quorvant_add_test(test_gasearch_checkpoint SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_gasearch_checkpoint.cpp)
  add_dependencies(test_gasearch_checkpoint gasearch_fitting gasearch_linear gasearch_refine)
endif()
