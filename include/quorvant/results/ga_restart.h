// A file of initial individuals (gasearch -s) made from one generation of a gasearch report.
#ifndef QUORVANT_RESULTS_GA_RESTART_H
#define QUORVANT_RESULTS_GA_RESTART_H

#include <cstdio>
#include <string>

#include "quorvant/results/tool_status.h"

namespace qv::results {

// The individuals of one generation of a report (the last complete one when generation < 0) as a
// file of initial individuals for gasearch -s: "[i][k], fitness, values" lines, island by island,
// with "**" between islands.
ToolStatus write_ga_restart(const std::string &report, int generation, std::FILE *out);

}  // namespace qv::results

#endif
