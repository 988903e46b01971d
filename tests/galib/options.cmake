# The command-line pieces shared by the search programs.
quorvant_add_test(test_ga_options SOURCES test_ga_options.cpp LIBS qv_galib quorvant_core qv_test_model)
