// What an SBML import produces: the model translated into state variables, parameters,
// intermediates and observables, and the measurements its fitness scores against.
//
//   import_sbml (sbml_reader.h)              read, check and translate the SBML file
//   read_data_csv (data_csv.h)               optional measurements for the fitness
//   model_source / model_input (*_writer.h)  the two generated files' contents
//   write_import (import_files.h)            both files, safely
//
// Every one of them reports a refusal or a bad input through its returned message (empty on
// success); nothing throws.
#ifndef QUORVANT_SBML_IMPORTED_MODEL_H
#define QUORVANT_SBML_IMPORTED_MODEL_H

#include <string>
#include <vector>

#include "quorvant/sbml/expr.h"

namespace qv::sbml {

struct ImportOptions {
    double t_start = 0.0;
    double t_end = 10.0;
    int points = 100;             // output rows after the start: t_start + k (t_end - t_start) / points
    double atol = 1.0e-12;        // NDF absolute tolerance
    double rtol = 1.0e-6;         // NDF relative tolerance
    bool force = false;           // overwrite files edited after they were generated
    // For an estimation problem (PEtab), whose conditions and parameters change the start state of
    // every simulation: no limit on the number of parameters (the problem's own files hold them),
    // the start rules kept for run time (ImportedModel::start_steps), no refusal of a start state
    // that is not finite at the file's values, and packages that a file declares but never uses
    // accepted.
    bool for_estimation = false;
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
    // A species held as an amount whose SBML value is a concentration: the compartment size, so
    // that state = value * size (null for every other state: state = value).
    Expr size;
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

// One step of computing the start state, in dependency order: a state, a parameter or an
// intermediate, from its attribute or its initial assignment (or an intermediate's definition).
struct StartStep {
    enum class Kind { State, Param, Inter };
    enum class Scale { None, TimesSize, OverSize };
    Kind kind = Kind::State;
    int index = 0;              // state or parameter 1.., intermediate 0..
    bool attribute = false;     // the value is the element's attribute (no formula)
    Expr value;
    Scale scale = Scale::None;
    Expr size;
};

// One assignment of an event: a state gets a value computed from the model at the trigger or the
// firing time. A species held as an amount whose SBML value is a concentration gets the value
// times its compartment's size after the event's other assignments (size non-null).
struct ImportedAssignment {
    int state = 0;      // 1..n
    Expr value;
    Expr size;
};

// One event, or a switching condition of the equations (a comparison of time in a piecewise
// condition) at which the solvers stop and restart without assigning anything.
struct ImportedEvent {
    std::string id;                 // the event's id, its position, or the condition's text
    bool switch_only = false;
    Expr trigger;                   // truth value (1 or 0)
    Expr guide;                     // changes sign where the trigger changes; null: none known
    bool initial_value = true;
    bool persistent = true;
    bool trigger_values = true;     // useValuesFromTriggerTime
    Expr delay;                     // null: none
    Expr priority;                  // null: none
    std::vector<ImportedAssignment> assignments;
    // Species held as concentrations in a compartment the event resizes (state, size): they keep
    // their amounts, so each is multiplied by the old size over the new after the assignments.
    std::vector<ImportedAssignment> rescaled;
};

struct ImportedModel {
    std::string model_id;
    std::string source;            // the SBML file as given
    std::vector<ImportedParam> params;
    std::vector<ImportedState> states;    // time is the last one
    std::vector<ImportedInter> inters;
    std::vector<Observable> observables;
    std::vector<std::string> notes;        // notices for the user (constructs without effect)
    std::vector<StartStep> start_steps;    // only with ImportOptions::for_estimation
    std::vector<ImportedEvent> events;     // events first, then the switching conditions
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

}  // namespace qv::sbml

#endif
