// The reader of an rsearch result file (<base>_<rank>): one case per search block, its time course as
// the rows.
#ifndef QUORVANT_RESULTS_RSEARCH_RESULT_READER_H
#define QUORVANT_RESULTS_RSEARCH_RESULT_READER_H

#include <string>

#include "quorvant/results/read_status.h"
#include "quorvant/results/simulator_sink.h"

namespace qv::results {

// A search whose simulation failed ("Solution not found.") ends as a failed case.
ReadStatus read_rsearch_result(const std::string &path, SimulatorSink &sink);

}  // namespace qv::results

#endif
