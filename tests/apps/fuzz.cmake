# Hardening tests of the simulator: the regression corpus of hostile model files, faults around
# its files, a rank killed during a survey, and memory checks of one run per solver. They run the
# simulator built for the linear chain model (bin/simulator_corpus), in the plain and in the
# sanitizer tree alike. The fuzzing harnesses themselves are in tests/fuzz/.
if(TARGET qv_simulator_app)
  quorvant_add_programs(_corpus ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)

  quorvant_add_test(test_corpus SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_corpus.cpp)
  add_dependencies(test_corpus simulator_corpus)
  # The cases are listed when the test program is built: a new or changed case rebuilds it.
  file(GLOB _corpus_cases CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/corpus/*/*.expect)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/test_corpus.cpp PROPERTIES OBJECT_DEPENDS "${_corpus_cases}")

  quorvant_add_test(test_file_faults SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_file_faults.cpp)
  add_dependencies(test_file_faults simulator_corpus)

  quorvant_add_test(test_rank_kill SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_rank_kill.cpp)
  add_dependencies(test_rank_kill simulator_corpus)

  # Memory checks under valgrind: one end-to-end run of each solver, a survey and a failed load.
  # The sanitizer tree runs the end-to-end tests under ASan and LSan instead (valgrind cannot run
  # sanitized programs). One line per run: name, program, model file, expected exit status.
  if(NOT QUORVANT_SANITIZE)
    set(_valgrind_runs
      "solver1_rk4        simulator_linear   models/linear/linear_rk4.in            0"
      "solver2_rk45       simulator_pathway  models/pathway/pathway.in              0"
      "solver3_ndf_ode    simulator_robertson      models/robertson/robertson_ode.in  0"
      "solver3_ndf_dae    simulator_robertson_dae  models/robertson/robertson_dae.in  0"
      "solver11_newton    simulator_pathway  models/pathway/pathway_steady.in       0"
      "solver12_ssystem   simulator_ssystem  models/ssystem/ssystem.in              0"
      "survey             simulator_linear   models/linear/linear_survey.in         0"
      "load_error         simulator_corpus   tests/corpus/cases/param_index_600.in  255"
    )
    foreach(_run IN LISTS _valgrind_runs)
      string(REGEX REPLACE " +" ";" _f "${_run}")
      list(GET _f 0 _name)
      list(GET _f 1 _program)
      list(GET _f 2 _model)
      list(GET _f 3 _status)
      if(TARGET ${_program})
        add_test(NAME valgrind_${_name}
                 COMMAND ${CMAKE_CURRENT_LIST_DIR}/valgrind_run.sh $<TARGET_FILE:${_program}>
                         ${PROJECT_SOURCE_DIR}/${_model} ${_status} ${PROJECT_SOURCE_DIR}/tests/valgrind.supp
                         ${QV_MPIEXEC})
        set_tests_properties(valgrind_${_name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
      endif()
    endforeach()
  endif()
endif()
