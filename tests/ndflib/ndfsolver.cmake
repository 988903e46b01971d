# NDF integrator, numerical Jacobian and consistent DAE start.
quorvant_add_test(test_ndf_solve
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ndf_solve.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_ndf_solve_dae.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_ndf_solve_steps.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_numjac.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_daeic.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_ndf_sensitivity.cpp
  LIBS qv_ndflib qv_nrlib qv_common)
