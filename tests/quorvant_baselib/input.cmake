# Input side of the model core: parameter names and tags, the model input file reader.
quorvant_add_test(test_parameter SOURCES test_parameter.cpp LIBS qv_baselib qv_common qv_test_model)
