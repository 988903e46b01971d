// The events part of a generated model source: the table and functions of quorvant/model_events.h.
#ifndef QUORVANT_SBML_EVENT_SOURCE_WRITER_H
#define QUORVANT_SBML_EVENT_SOURCE_WRITER_H

#include <string>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

// The source text of m's events (empty when it has none). It calls the generated source's
// qv_intermediates(y, p, a) and uses its kIntermediates.
std::string event_source(const ImportedModel &m);

}  // namespace qv::sbml

#endif
