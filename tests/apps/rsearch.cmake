# End-to-end runs of rsearch built for the linear chain, on one process and as master and slaves.
if(TARGET qv_rsearch_app)
  quorvant_add_test(test_rsearch_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_rsearch_runs.cpp)
  target_include_directories(test_rsearch_e2e PRIVATE ${PROJECT_SOURCE_DIR}/apps/rsearch)
  add_dependencies(test_rsearch_e2e rsearch_linear)
endif()
