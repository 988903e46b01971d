quorvant_add_test(test_ndf_matrix
  SOURCES test_matrix_basic.cpp test_matrix_arith.cpp test_matrix_layout.cpp
          test_matrix_reduce.cpp test_condest_lu.cpp test_condest_estimate.cpp
  LIBS qv_ndflib qv_nrlib qv_common)
