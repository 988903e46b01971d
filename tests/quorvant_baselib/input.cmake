# Input side of the model core: parameter names and tags, the model input file reader.
quorvant_add_test(test_parameter SOURCES test_parameter.cpp LIBS qv_baselib qv_common qv_test_model)
quorvant_add_test(test_input_line SOURCES test_input_line.cpp LIBS qv_baselib qv_common qv_test_model)
quorvant_add_test(test_set_data SOURCES test_set_data.cpp test_set_data_lines.cpp
                  LIBS qv_baselib qv_common qv_test_model)
