// A PEtab problem resolved against its imported SBML model: every id of the tables turned into a
// state, a parameter slot, an estimated parameter or a number, ready to be written as the
// generated model's tables (problem_source_writer.h).
#ifndef QUORVANT_PETAB_IMPORT_PROBLEM_TRANSLATION_H
#define QUORVANT_PETAB_IMPORT_PROBLEM_TRANSLATION_H

#include <string>
#include <vector>

#include "quorvant/petab/problem.h"
#include "quorvant/sbml/imported_model.h"

namespace qv::petab_import {

// A number, an estimated parameter (index into TranslatedProblem::theta), or a formula of the
// estimated parameters (index into TranslatedProblem::formulas).
struct Value {
    int theta = -1;
    double value = 0.0;
    int formula = -1;
};

struct ParamValue {
    int param = 0;   // P index
    Value value;
};

struct StateValue {
    int state = 0;   // y index
    Value value;
};

struct TranslatedPeriod {
    double start = 0.0;
    std::vector<ParamValue> params;
    std::vector<StateValue> states;
};

struct TranslatedExperiment {
    std::string id;
    std::vector<TranslatedPeriod> periods;
    std::vector<double> times;   // distinct measurement times, increasing, +inf last
};

struct TranslatedObservable {
    std::string id;
    qv::sbml::Expr value;
    qv::sbml::Expr sigma;
    qv::petab::Transform transform = qv::petab::Transform::Lin;
    qv::petab::Noise noise = qv::petab::Noise::Normal;
};

struct TranslatedDatum {
    int experiment = 0;
    int time = 0;         // index into the experiment's times
    int observable = 0;
    double value = 0.0;
    std::vector<Value> observable_parameters;
    std::vector<Value> noise_parameters;
};

struct TranslatedProblem {
    qv::sbml::ImportedModel model;
    // Parameter slots P[1..]: the model's parameters, then the problem's parameters that formulas
    // read but the model does not have. slot_ids[k - 1] names slot k.
    std::vector<std::string> slot_ids;
    std::vector<double> base;                    // base[0..slots], base[0] unused
    std::vector<ParamValue> estimated_slots;     // slots that an estimated parameter sets
    std::vector<const qv::petab::ProblemParameter *> theta;   // the estimated parameters
    std::vector<TranslatedExperiment> experiments;
    std::vector<TranslatedObservable> observables;
    std::vector<TranslatedDatum> data;
    // Formulas of the estimated parameters, the parameters and the state: parameter leaves beyond
    // the slots stand for the estimated parameters, slots() + 1 + k for theta[k].
    std::vector<qv::sbml::Expr> formulas;
    std::vector<std::string> notes;
    int slots() const { return static_cast<int>(slot_ids.size()); }
};

// Resolves problem against model (moved into out.model). Returns "" or the message.
std::string translate_problem(const qv::petab::Problem &problem, qv::sbml::ImportedModel model, TranslatedProblem &out);

}  // namespace qv::petab_import

#endif
