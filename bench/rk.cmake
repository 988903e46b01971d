# Cost per step of the fixed-step Runge-Kutta path of the driver against a bare RK4 loop.
if(benchmark_FOUND)
  add_executable(bench_rk ${CMAKE_CURRENT_LIST_DIR}/bench_rk.cpp ${PROJECT_SOURCE_DIR}/models/linear/linear.cpp)
  target_link_libraries(bench_rk PRIVATE quorvant_core benchmark::benchmark qv_warnings)
endif()
