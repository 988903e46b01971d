# The delivered GA examples: the fitness functions and models of models/fitting and
# models/oscillator, each test linked with its own model.
quorvant_add_test(test_example_fitting
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_example_fitting.cpp ${PROJECT_SOURCE_DIR}/models/fitting/fitting.cpp
  LIBS quorvant_core)
quorvant_add_test(test_example_oscillator
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_example_oscillator.cpp ${PROJECT_SOURCE_DIR}/models/oscillator/oscillator.cpp
  LIBS quorvant_core)
