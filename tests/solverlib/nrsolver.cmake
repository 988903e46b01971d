quorvant_add_test(test_nrsolver
  SOURCES test_newton_raphson.cpp test_runge_kutta.cpp
  LIBS qv_solverlib qv_baselib qv_nrlib qv_common qv_test_model)
