// Writing the two generated files of an import.
#ifndef QUORVANT_SBML_IMPORT_FILES_H
#define QUORVANT_SBML_IMPORT_FILES_H

#include <string>
#include <vector>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// Writes outdir/model.cpp and outdir/model.in, each through a temporary file and a rename.
// A file there that does not carry the fingerprint of an unedited generated file is kept unless
// opts.force: the result then names it. Returns "" on success, else the message.
// One generated file: its name in the output directory, the comment mark its fingerprint line
// starts with, and its text.
struct GeneratedFile {
    std::string name;
    std::string comment;
    std::string text;
};

// Writes the files into outdir the same way (fingerprints, temporary files, renames); tool names
// the writer in the message about an edited file.
std::string write_generated(const std::string &outdir, const std::vector<GeneratedFile> &files, bool force,
                            const std::string &tool);

std::string write_import(const std::string &outdir, const ImportedModel &m, const DataSet *data,
                         const ImportOptions &opts);

}  // namespace qv::sbml

#endif
