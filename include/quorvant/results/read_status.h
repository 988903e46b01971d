// The outcome of reading a result file, and the one line that tells the user where and why a reader
// stopped.
#ifndef QUORVANT_RESULTS_READ_STATUS_H
#define QUORVANT_RESULTS_READ_STATUS_H

#include <string>
#include <utility>

namespace qv::results {

// On failure the 1-based line where the reader stopped (0 when the failure concerns the whole file)
// and the reason, without the file name.
struct ReadStatus {
    bool ok = true;
    long line = 0;
    std::string message;
    std::string note;   // a remark that does not stop the reading (e.g. a cut-off generation skipped)

    static ReadStatus failure(long line, std::string message) { return {false, line, std::move(message), {}}; }
};

// "FILE:LINE: message" (or "FILE: message" without a line): the one line shown to the user.
std::string describe(const std::string &path, const ReadStatus &status);

}  // namespace qv::results

#endif
