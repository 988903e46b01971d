// What a file is, from its first lines.
#ifndef QUORVANT_RESULTS_RECOGNISE_H
#define QUORVANT_RESULTS_RECOGNISE_H

#include <string>

#include "quorvant/results/file_kind.h"
#include "quorvant/results/read_status.h"

namespace qv::results {

// A file that cannot be opened or read is Unknown with `status` set.
FileKind recognise(const std::string &path, ReadStatus &status);

}  // namespace qv::results

#endif
