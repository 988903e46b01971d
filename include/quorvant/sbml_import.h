// Import of an SBML model as the two inputs of the programs: a model source (usr_fvec, an exact
// usr_fjac, QvUsrFitness and the observer of quorvant/sbml_observe.h) and a model input file.
//
//   ImportedModel m;  import_sbml(path, opts, m)      read, check and translate the SBML file
//   DataSet d;        read_data_csv(path, m, d)        optional measurements for the fitness
//   model_source(m, &d) / model_input(m, opts)         the two files' contents
//   write_import(outdir, m, &d, opts)                  both files, safely (see below)
//
// Every function reports a refusal or a bad input through its returned message (empty on
// success); nothing throws.
#ifndef QUORVANT_SBML_IMPORT_H
#define QUORVANT_SBML_IMPORT_H

#include <string>
#include <vector>

#include "quorvant/sbml_expr.h"

namespace qv::sbml {

struct ImportOptions {
    double t_start = 0.0;
    double t_end = 10.0;
    int points = 100;             // output rows after the start: t_start + k (t_end - t_start) / points
    double atol = 1.0e-12;        // NDF absolute tolerance
    double rtol = 1.0e-6;         // NDF relative tolerance
    bool force = false;           // overwrite files edited after they were generated
};

// One named value of the model input file (an SBML compartment size, parameter or local parameter).
struct ImportedParam {
    std::string name;   // PARAM_NAME: the id, or a mapped name of at most 15 characters
    std::string id;     // SBML id (local parameters: reaction id '.' local id), the PARAM tag
    double value = 0.0;
};

// One state variable y[k] (k = position + 1).
struct ImportedState {
    std::string id;     // SBML id ("time" for the time variable), the Y_START tag
    std::string what;   // for the comments of the generated source, e.g. "species amount"
    double initial = 0.0;
    Expr rhs;           // dy/dt; may read intermediates
};

// One intermediate a[k]: an assignment-rule value or a reaction rate, in evaluation order.
struct ImportedInter {
    std::string id;     // the rule's variable or the reaction's id
    std::string what;   // "assignment rule" or "kinetic law"
    Expr def;           // reads only intermediates of smaller index
};

// One id whose value the observer reports.
struct Observable {
    std::string id;
    bool is_species = false;
    bool data_in_amount = false;   // the SBML value of the id is an amount (hasOnlySubstanceUnits)
    Expr amount;
    Expr concentration;
};

struct ImportedModel {
    std::string model_id;
    std::string source;            // the SBML file as given
    std::vector<ImportedParam> params;
    std::vector<ImportedState> states;    // time is the last one
    std::vector<ImportedInter> inters;
    std::vector<Observable> observables;
    std::vector<std::string> notes;        // notices for the user (constructs without effect)
    int time_index() const { return static_cast<int>(states.size()); }
};

// Measurements for the generated fitness: times and, per column, an observable and its values
// (NaN where a cell was empty).
struct DataSet {
    std::string source;
    std::vector<double> times;
    std::vector<int> columns;                    // observable indices
    std::vector<std::vector<double>> values;     // values[row][column]
};

std::string import_sbml(const std::string &path, const ImportOptions &opts, ImportedModel &out);
std::string read_data_csv(const std::string &path, const ImportedModel &m, DataSet &out);

// The right-hand sides with every intermediate inlined (y[k] and parameters only), and the
// non-zero entries of their Jacobian.
struct JacobianEntry {
    int row = 0, col = 0;   // 1-based
    Expr value;
};
std::vector<Expr> inlined_rhs(const ImportedModel &m);
std::vector<JacobianEntry> jacobian(const std::vector<Expr> &rhs);

std::string model_source(const ImportedModel &m, const DataSet *data);
std::string model_input(const ImportedModel &m, const ImportOptions &opts);

// Writes outdir/model.cpp and outdir/model.in (each through a temporary file and a rename).
// A file there that does not carry the fingerprint of an unedited generated file is kept unless
// opts.force: the result then names it.
std::string write_import(const std::string &outdir, const ImportedModel &m, const DataSet *data,
                         const ImportOptions &opts);

}  // namespace qv::sbml

#endif
