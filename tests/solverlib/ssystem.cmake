# S-system steady-state analysis (solver 12).
quorvant_add_test(test_ssystem
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ssystem.cpp
  LIBS qv_solverlib qv_baselib qv_nrlib qv_common qv_test_model)
