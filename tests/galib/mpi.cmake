# The MPI pieces of the GA: the file transfer, the polite wait and the datatypes of the
# configuration and of an island. A small program does the MPI side; the test runs it under
# mpiexec on 1, 2 and 4 processes and checks what arrived.
add_executable(mpi_transfer_probe ${CMAKE_CURRENT_LIST_DIR}/test_mpi_file_transfer.cpp)
target_include_directories(mpi_transfer_probe PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(mpi_transfer_probe PRIVATE QV_MPI_PROBE_MAIN)
target_link_libraries(mpi_transfer_probe PRIVATE qv_galib quorvant_core qv_test_model qv_warnings)

quorvant_add_test(test_mpi_file_transfer SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mpi_file_transfer.cpp
  LIBS qv_galib quorvant_core qv_test_model)
add_dependencies(test_mpi_file_transfer mpi_transfer_probe)
