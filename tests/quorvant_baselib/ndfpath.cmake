# The NDF time-course path (SOLVER 3): its pieces and whole runs with test models, and the
# delivered Robertson examples run end to end by the simulator.
quorvant_add_test(test_ndfpath
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ndfpath_periods.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_ndfpath_runs.cpp
  LIBS quorvant_core qv_test_model)
target_include_directories(test_ndfpath PRIVATE ${PROJECT_SOURCE_DIR}/lib/quorvant_baselib)

if(TARGET qv_simulator_app)
  quorvant_add_programs(_robertson ${PROJECT_SOURCE_DIR}/models/robertson/robertson.cpp)
  quorvant_add_programs(_robertson_dae ${PROJECT_SOURCE_DIR}/models/robertson/robertson_dae.cpp)
  quorvant_add_test(test_ndfpath_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ndfpath_e2e.cpp)
  add_dependencies(test_ndfpath_e2e simulator_robertson simulator_robertson_dae)
endif()

# Runs with a model that has events (the test defines the model's event functions).
quorvant_add_test(test_model_events
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_model_events.cpp
  LIBS quorvant_core qv_test_model)
