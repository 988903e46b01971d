// Reading an SBML file: check it against the supported model class and translate it.
#ifndef QUORVANT_SBML_SBML_READER_H
#define QUORVANT_SBML_SBML_READER_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// Reads, checks and translates the SBML file at path. Returns "" on success, else the message
// ("refused: ..." for a construct outside the model class); nothing throws.
std::string import_sbml(const std::string &path, const ImportOptions &opts, ImportedModel &out);

}  // namespace qv::sbml

#endif
