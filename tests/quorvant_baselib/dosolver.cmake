# The simulation driver: time-course paths, events, output modes, steady state.
quorvant_add_test(test_dosolver SOURCES test_dosolver.cpp test_dosolver_steady.cpp
                  LIBS quorvant_core qv_test_model)
