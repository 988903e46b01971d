// An estimation problem as read from its tables, the same shape for both format versions:
// parameters, observables with their noise models, conditions (lists of changes), experiments
// (sequences of periods, each applying conditions), measurements and identifier mappings.
// Everything here is checked against itself; identifiers that formulas and conditions take from
// the model are left for the importer, which has the model.
#ifndef QUORVANT_PETAB_PROBLEM_H
#define QUORVANT_PETAB_PROBLEM_H

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quorvant/petab/problem_files.h"
#include "quorvant/petab/tsv_table.h"

namespace qv::petab {

enum class Scale { Lin, Log, Log10 };
enum class Noise { Normal, Laplace };
enum class Transform { Lin, Log, Log10 };
enum class PriorType {
    None, Uniform, Normal, Laplace, LogNormal, LogLaplace, ParameterScaleUniform, ParameterScaleNormal,
    ParameterScaleLaplace, Cauchy, ChiSquared, Exponential, Gamma, LogUniform, Rayleigh
};

// The keyword of each value as the tables spell it; version 2 spells some priors differently
// (log-normal, log-laplace, log-uniform, chisquare).
std::string_view scale_name(Scale s);
std::string_view transform_name(Transform t);
std::string_view noise_name(Noise n);
std::string_view prior_name(PriorType t, int version);
// Number of parameters the prior takes (uniform: 2, exponential: 1, ...); 0 for None.
int prior_parameter_count(PriorType t);

struct Prior {
    PriorType type = PriorType::None;
    std::vector<double> parameters;
    bool truncated = false;  // version 2: the density is truncated at the parameter's bounds
};

struct ProblemParameter {
    std::string id, name;
    Scale scale = Scale::Lin;  // version 2 has no scales: always Lin
    double lower = 0, upper = 0, nominal = 0;  // linear space; NaN where the cell was empty
    bool estimate = false;
    Prior objective;       // prior in the objective; None: none
    Prior initialization;  // where start points are drawn; version 1 defaults to parameterScaleUniform
    int line = 0;
    int file = 0;  // index into ProblemFiles::parameters
};

struct Observable {
    std::string id, name, formula, noise_formula;
    Transform transform = Transform::Lin;
    Noise noise = Noise::Normal;
    // Names replaced per measurement. Version 1: the observableParameterN_<id> and noiseParameterN_<id>
    // found in the formulas, ordered by N (N = 1..k without gaps); version 2: the declared lists.
    std::vector<std::string> observable_placeholders, noise_placeholders;
    int line = 0;
    int file = 0;
};

struct Change {
    std::string target;
    std::string value;  // the cell: a number, NaN or empty (keep the value the model has), a
                        // parameter id, or (version 2) a math expression
    int line = 0;
    int column = 0;  // 1-based field of the cell in its file
};

struct Condition {
    std::string id, name;
    std::vector<Change> changes;
    int line = 0;  // first row of the condition
    int file = 0;
};

struct Period {
    double start = 0;  // -inf: simulated to steady state before the first finite start
    std::vector<int> conditions;  // indices into Problem::conditions, applied at the start
};

// Version 1 builds one experiment per distinct (preequilibrationConditionId, simulationConditionId)
// of the measurements: id is the simulation condition, or "<preeq>:<sim>" with pre-equilibration;
// periods [{-inf, {preeq}}, {0, {sim}}] or [{0, {sim}}].
struct Experiment {
    std::string id;
    std::vector<Period> periods;  // increasing start
    int line = 0;  // version 2: first row in the experiment table; version 1: first measurement using it
    int file = 0;
};

struct Measurement {
    int observable = -1;   // index into Problem::observables
    int experiment = -1;   // index into Problem::experiments; -1 (version 2 only): the model as it is
    int model = 0;         // index into Problem::models
    double time = 0;       // +inf: at steady state
    double value = 0;
    // One entry per placeholder of the observable: a number or a parameter id, as text.
    std::vector<std::string> observable_parameters, noise_parameters;
    std::string dataset, replicate;
    int line = 0;
    int file = 0;  // index into ProblemFiles::measurements
};

struct Mapping {
    std::string petab_id, model_id, name;  // model_id empty: annotation only
    int line = 0;
};

struct Problem {
    int version = 0;
    std::string path;
    std::vector<std::string> models;     // model files
    std::vector<std::string> model_ids;  // version 2: their ids; version 1: empty
    ProblemFiles files;
    std::vector<ProblemParameter> parameters;
    std::vector<Observable> observables;
    std::vector<Condition> conditions;
    std::vector<Experiment> experiments;
    std::vector<Measurement> measurements;
    std::vector<Mapping> mappings;
    std::vector<std::string> notes;  // things that did not stop the reading

    // Index of the entry with that id, -1 if none.
    int find_parameter(std::string_view id) const;
    int find_observable(std::string_view id) const;
    int find_condition(std::string_view id) const;
    int find_experiment(std::string_view id) const;
    int find_mapping(std::string_view petab_id) const;
    // Fills the lookup maps from the vectors (read_problem does; call again after editing them).
    void index();

    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Index = std::unordered_map<std::string, int, Hash, std::equal_to<>>;
    Index parameter_index, observable_index, condition_index, experiment_index, mapping_index;
};

// Reads the YAML and every table it names, and checks them together. Returns "" on success.
std::string read_problem(const std::string &yaml_path, Problem &out);

// The readers of the single tables; each takes the table's files in order (a table may be split
// over several files) and returns "" or the message of the first fault.
// A nominal value outside the bounds is not refused; it is noted in *notes when given.
std::string read_parameter_table(const std::vector<TsvTable> &tables, int version,
                                 std::vector<ProblemParameter> &out, std::vector<std::string> *notes = nullptr);
std::string read_observable_table(const std::vector<TsvTable> &tables, int version, std::vector<Observable> &out);
std::string read_condition_table(const std::vector<TsvTable> &tables, int version, std::vector<Condition> &out);
// Version 2 only.
std::string read_experiment_table(const std::vector<TsvTable> &tables, const std::vector<Condition> &conditions,
                                  std::vector<Experiment> &out);
std::string read_mapping_table(const std::vector<TsvTable> &tables, std::vector<Mapping> &out);
// Needs the parameters, observables and conditions read (and, for version 2, the experiments and
// the model ids in p.model_ids / p.models). Version 1 builds p.experiments here.
std::string read_measurement_table(const std::vector<TsvTable> &tables, Problem &p);

// Parameter scale transformations: to_scale(Log10, 100) == 2.
double to_scale(Scale s, double x);
double from_scale(Scale s, double x);

// The identifiers a formula refers to, each once, in order of first appearance: tokens of the form
// [A-Za-z_][A-Za-z0-9_]*, except names directly followed by '(' (function calls) and the literals
// true, false, inf, nan (any case). Digits and exponents of numbers (1e-3) are not identifiers.
// "time", "pi" and "e" are returned: whether they mean the model time or constants is the
// importer's decision (both format versions let a model define such ids).
std::vector<std::string> formula_identifiers(std::string_view formula);

}  // namespace qv::petab

#endif
