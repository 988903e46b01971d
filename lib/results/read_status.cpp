#include <string>

#include "quorvant/results/read_status.h"

namespace qv::results {

std::string describe(const std::string &path, const ReadStatus &status) {
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on a chain of operator+.
    std::string s = path;
    if (status.line > 0) s.append(":").append(std::to_string(status.line));
    s.append(": ").append(status.message);
    return s;
}

}  // namespace qv::results
