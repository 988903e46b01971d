// The generated model source: usr_fvec, usr_fjac, the observer and QvUsrFitness.
#ifndef QUORVANT_SBML_MODEL_SOURCE_WRITER_H
#define QUORVANT_SBML_MODEL_SOURCE_WRITER_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// The helper functions the printed expressions call (to_c), for a generated source's anonymous
// namespace.
std::string math_helpers();

// The source text; data (may be null) gives the measurements the fitness scores against.
std::string model_source(const ImportedModel &m, const DataSet *data);

}  // namespace qv::sbml

#endif
