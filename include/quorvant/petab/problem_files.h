// The problem file (YAML) of an estimation problem: which model and which tables make it up.
#ifndef QUORVANT_PETAB_PROBLEM_FILES_H
#define QUORVANT_PETAB_PROBLEM_FILES_H

#include <string>
#include <vector>

namespace qv::petab {

struct ProblemFiles {
    int version = 0;   // 1 or 2
    std::string path;  // the YAML file
    std::string id;    // version 2: the optional problem id
    std::vector<std::string> models;     // model files (SBML), paths resolved
    std::vector<std::string> model_ids;  // version 2: the model ids (keys of model_files), one per model
    std::vector<std::string> parameters, conditions, measurements, observables, experiments, mappings;
    std::vector<std::string> notes;      // things read but ignored (visualization files, optional extensions)
};

// Reads the YAML problem file. Relative paths are resolved against the YAML's folder.
// Version 1: format_version 1 (or "1.0.0"), parameter_file (one name or a list: one table split
// over files), exactly one entry in problems with sbml_files, condition_files, measurement_files,
// observable_files. Version 2: format_version 2.0.0, model_files of language sbml, the file lists;
// an extension marked required is refused, others noted. Returns "" on success, else the message.
std::string read_problem_files(const std::string &yaml, ProblemFiles &out);

}  // namespace qv::petab

#endif
