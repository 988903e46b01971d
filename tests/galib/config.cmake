# GA configuration: the parameter file reader, the reports and the regression corpus of hostile
# parameter files and files of initial individuals.
quorvant_add_test(test_ga_param SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ga_param.cpp
  LIBS qv_galib quorvant_core qv_test_model)
quorvant_add_test(test_ga_report SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ga_report.cpp
  LIBS qv_galib quorvant_core qv_test_model)
quorvant_add_test(test_ga_corpus SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ga_corpus.cpp
  LIBS qv_galib quorvant_core qv_test_model)
