# Random stream, text/allocation/argument utilities, encodings, region and initial population.
quorvant_add_test(test_ga_random SOURCES test_ga_random.cpp LIBS qv_galib quorvant_core qv_test_model)
quorvant_add_test(test_ga_text SOURCES test_ga_text.cpp LIBS qv_galib quorvant_core qv_test_model)
quorvant_add_test(test_ga_encode SOURCES test_ga_encode.cpp LIBS qv_galib quorvant_core qv_test_model)
