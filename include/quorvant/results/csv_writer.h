// The result files as plain CSV tables.
#ifndef QUORVANT_RESULTS_CSV_WRITER_H
#define QUORVANT_RESULTS_CSV_WRITER_H

#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/results/file_kind.h"
#include "quorvant/results/tool_status.h"

namespace qv::results {

// The data of the files as CSV on `out`. The files are read to the end once before anything is
// written, so a file refused halfway leaves `out` untouched. Layouts (header row first):
//   time course    time,<variables>                      one row per time point
//   survey         case,<survey values>,time,<variables> one row per case and time point
//   steady state   <variables> / case,<survey values>,<variables>   one row per case
//   gasearch       generation,island,rank,fitness,<variables>        one row per individual
//   rsearch        rank,search,fitness,<variables>                   one row per search
ToolStatus write_csv(FileKind kind, const std::vector<std::string> &paths, std::FILE *out);

}  // namespace qv::results

#endif
