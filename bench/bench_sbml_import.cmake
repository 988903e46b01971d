# Import and build time of SBML models, and the simulation time of an imported 50-reaction model
# against the same model written by hand (bench_sbml_import.cpp), both in the simulator on the
# same model input file. Run: bin/bench_sbml_import [survey cases]
if(TARGET sbml_import AND TARGET qv_simulator_app)
  set(_bench_sbml_dir ${PROJECT_BINARY_DIR}/bench_sbml_import)
  add_custom_command(
    OUTPUT ${_bench_sbml_dir}/model.cpp ${_bench_sbml_dir}/model.in
    COMMAND sbml_import ${CMAKE_CURRENT_LIST_DIR}/bench_sbml_import.xml ${_bench_sbml_dir}
            --t-end 100 --points 10 --rtol 1e-8 --atol 1e-12 --force
    DEPENDS sbml_import ${CMAKE_CURRENT_LIST_DIR}/bench_sbml_import.xml
    VERBATIM)
  add_executable(bench_simulator_imported $<TARGET_OBJECTS:qv_simulator_app> ${_bench_sbml_dir}/model.cpp)
  add_executable(bench_simulator_handwritten $<TARGET_OBJECTS:qv_simulator_app>
                 ${CMAKE_CURRENT_LIST_DIR}/bench_sbml_import.cpp)
  foreach(t bench_simulator_imported bench_simulator_handwritten)
    target_include_directories(${t} PRIVATE ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(${t} PRIVATE quorvant_core)
    # Beside the generated model, not in bin/: `./quorvant bench` runs every bin/bench_* program.
    set_target_properties(${t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${_bench_sbml_dir})
  endforeach()
  set(BENCH_MPIEXEC ${MPIEXEC_EXECUTABLE})
  set(BENCH_CXX ${CMAKE_CXX_COMPILER})
  set(BENCH_SOURCE_DIR ${PROJECT_SOURCE_DIR})
  set(BENCH_MODEL_IN ${_bench_sbml_dir}/model.in)
  set(BENCH_PROGRAM_DIR ${_bench_sbml_dir})
  set(BENCH_SBML_CASES "${QUORVANT_SBML_CASES}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/bench_sbml_import.sh ${PROJECT_BINARY_DIR}/bin/bench_sbml_import
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 WORLD_READ WORLD_EXECUTE)
  add_custom_target(bench_sbml_import ALL DEPENDS bench_simulator_imported bench_simulator_handwritten)
endif()
