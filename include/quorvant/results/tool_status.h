// The outcome of one of the result tools: the process's exit status and its message.
#ifndef QUORVANT_RESULTS_TOOL_STATUS_H
#define QUORVANT_RESULTS_TOOL_STATUS_H

#include <string>

namespace qv::results {

// exit_code: 0 done, 1 a file refused or a failure, 2 bad usage; the message is for standard error.
struct ToolStatus {
    int exit_code = 0;
    std::string message;
};

}  // namespace qv::results

#endif
