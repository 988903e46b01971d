// Writing the two generated files of an import.
#ifndef QUORVANT_SBML_IMPORT_FILES_H
#define QUORVANT_SBML_IMPORT_FILES_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// Writes outdir/model.cpp and outdir/model.in, each through a temporary file and a rename.
// A file there that does not carry the fingerprint of an unedited generated file is kept unless
// opts.force: the result then names it. Returns "" on success, else the message.
std::string write_import(const std::string &outdir, const ImportedModel &m, const DataSet *data,
                         const ImportOptions &opts);

}  // namespace qv::sbml

#endif
