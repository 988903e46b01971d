# S-system steady-state analysis (solver 12).
quorvant_add_test(test_ssystem
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ssystem.cpp
  LIBS qv_solverlib qv_baselib qv_nrlib qv_common qv_test_model)

# The delivered example, loaded from its model input file with its own model code.
quorvant_add_test(test_ssystem_model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ssystem_model.cpp ${PROJECT_SOURCE_DIR}/models/ssystem/ssystem.cpp
  LIBS quorvant_core)

# End to end: the simulator built for the delivered example, run under mpiexec (once the
# simulator program is part of the build).
quorvant_add_programs(_ssystem ${PROJECT_SOURCE_DIR}/models/ssystem/ssystem.cpp)
if(TARGET simulator_ssystem)
  quorvant_add_test(test_ssystem_program SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ssystem_program.cpp)
  add_dependencies(test_ssystem_program simulator_ssystem)
endif()
