// Measurements for the generated fitness, read from a CSV file.
#ifndef QUORVANT_SBML_DATA_CSV_H
#define QUORVANT_SBML_DATA_CSV_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// Reads the measurements of m's observables at path. Returns "" on success, else the message
// naming the file and line.
std::string read_data_csv(const std::string &path, const ImportedModel &m, DataSet &out);

}  // namespace qv::sbml

#endif
