# The simulator built for the delivered example models, its units, and end-to-end runs under
# mpiexec on the example input files.
quorvant_add_programs(_linear ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)
quorvant_add_programs(_pathway ${PROJECT_SOURCE_DIR}/models/pathway/pathway.cpp)

set(_sim ${PROJECT_SOURCE_DIR}/apps/simulator)
quorvant_add_test(test_simulator_units
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_simulator_units.cpp
          ${_sim}/options.cpp ${_sim}/survey.cpp ${_sim}/final_file.cpp ${_sim}/reports.cpp
          ${_sim}/process.cpp
  LIBS quorvant_core qv_test_model)
target_include_directories(test_simulator_units PRIVATE ${_sim})

quorvant_add_test(test_simulator_e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_simulator_runs.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_simulator_survey.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_simulator_cli.cpp)
add_dependencies(test_simulator_e2e simulator_linear simulator_pathway)
