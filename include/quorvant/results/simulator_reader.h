// The reader of the simulator's result files: time courses, parameter surveys and steady states,
// joined or one rank's own file.
#ifndef QUORVANT_RESULTS_SIMULATOR_READER_H
#define QUORVANT_RESULTS_SIMULATOR_READER_H

#include <string>

#include "quorvant/results/read_status.h"
#include "quorvant/results/simulator_sink.h"

namespace qv::results {

// Like every reader of the result tools it streams: each row goes to the sink as it is read, so memory
// does not grow with the file. It stops at the first line that does not fit the format and says which
// line and why.
ReadStatus read_simulator_result(const std::string &path, SimulatorSink &sink);

}  // namespace qv::results

#endif
