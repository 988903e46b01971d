# The GA engine: fitness bridge, ranking, selection, migration, integration and the MGG step,
# with the linear chain model (its fitness has a closed form).
quorvant_add_test(test_ga_engine
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ga_engine.cpp ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp
  LIBS qv_galib quorvant_core)
