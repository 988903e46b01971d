quorvant_add_test(test_ga_crossover
  SOURCES test_ga_crossover.cpp
  LIBS qv_galib quorvant_core qv_test_model)
quorvant_add_test(test_ga_mutation
  SOURCES test_ga_mutation.cpp
  LIBS qv_galib quorvant_core qv_test_model)
