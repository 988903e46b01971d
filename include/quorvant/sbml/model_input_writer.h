// The generated model input file.
#ifndef QUORVANT_SBML_MODEL_INPUT_WRITER_H
#define QUORVANT_SBML_MODEL_INPUT_WRITER_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

std::string model_input(const ImportedModel &m, const ImportOptions &opts);

}  // namespace qv::sbml

#endif
