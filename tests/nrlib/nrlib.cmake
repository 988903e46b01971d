quorvant_add_test(test_nrlib
  SOURCES test_nr_alloc.cpp test_nr_lu.cpp test_nr_svd.cpp test_nr_eigen.cpp
  LIBS qv_nrlib qv_common)
