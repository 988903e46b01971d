# Overhead of a serial GA run over the simulations it makes (Robertson on the NDF solver, the
# data-fitting model on RK4). Run: bin/bench_ga_overhead [repetitions]
# Both models are linked into the one program: each is compiled with its functions renamed, and
# the benchmark's own usr_fvec, usr_fjac and QvUsrFitness call the model of the current case.
if(TARGET qv_galib)
  set(_bench_ga_models
      robertson ${PROJECT_SOURCE_DIR}/models/robertson/robertson.cpp
      fitting ${PROJECT_SOURCE_DIR}/models/fitting/fitting.cpp)
  set(_bench_ga_objects)
  while(_bench_ga_models)
    list(POP_FRONT _bench_ga_models _name _source)
    add_library(bench_ga_model_${_name} OBJECT ${_source})
    target_include_directories(bench_ga_model_${_name} PRIVATE ${PROJECT_SOURCE_DIR}/include)
    target_compile_definitions(bench_ga_model_${_name} PRIVATE
      usr_fvec=${_name}_fvec usr_fjac=${_name}_fjac QvUsrFitness=${_name}_fitness)
    list(APPEND _bench_ga_objects $<TARGET_OBJECTS:bench_ga_model_${_name}>)
  endwhile()
  add_executable(bench_ga_overhead ${CMAKE_CURRENT_LIST_DIR}/bench_ga_overhead.cpp ${_bench_ga_objects})
  target_link_libraries(bench_ga_overhead PRIVATE qv_galib quorvant_core qv_warnings)
endif()
