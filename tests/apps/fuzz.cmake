# Hardening tests of the simulator: the regression corpus of hostile model files, faults around
# its files, a rank killed during a survey, and memory checks of one run per solver. They run the
# simulator built for the linear chain model (bin/simulator_corpus), in the plain and in the
# sanitizer tree alike. The fuzzing harnesses themselves are built by tests/fuzz/run_fuzz.sh.
if(TARGET qv_simulator_app)
  quorvant_add_programs(_corpus ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)

  quorvant_add_test(test_corpus SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_corpus.cpp)
  add_dependencies(test_corpus simulator_corpus)

  quorvant_add_test(test_file_faults SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_file_faults.cpp)
  add_dependencies(test_file_faults simulator_corpus)

  quorvant_add_test(test_rank_kill SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_rank_kill.cpp)
  add_dependencies(test_rank_kill simulator_corpus)
endif()
