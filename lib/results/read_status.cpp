#include <string>

#include "quorvant/results/read_status.h"

namespace qv::results {

std::string describe(const std::string &path, const ReadStatus &status) {
    std::string s = path;
    if (status.line > 0) s += ":" + std::to_string(status.line);
    return s + ": " + status.message;
}

}  // namespace qv::results
