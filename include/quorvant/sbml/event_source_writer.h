// The events part of a generated model source: the table and functions of quorvant/model_events.h.
#ifndef QUORVANT_SBML_EVENT_SOURCE_WRITER_H
#define QUORVANT_SBML_EVENT_SOURCE_WRITER_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// The source text of m's events (empty when it has none). It calls the generated source's
// qv_intermediates(y, p, a) and uses its kIntermediates.
std::string event_source(const ImportedModel &m);

// The same for the model code of an estimation problem: kEventCount, kEvents and the functions
// event_triggers, event_delay, event_priority, event_values and event_assign of the parameter
// array P (as qv::petab_sim::ModelCode holds them), calling its intermediates(P, y, a).
std::string problem_event_source(const ImportedModel &m);

}  // namespace qv::sbml

#endif
