#include "plot_parts.h"

#include <algorithm>

namespace quorvant::results::plot {

std::string dataLabel(std::string s) {
    std::replace(s.begin(), s.end(), '"', '\'');
    return s;
}

text::File tempData() { return text::File(std::tmpfile()); }

void printRow(std::FILE *f, std::initializer_list<double> values) {
    bool first = true;
    for (double v : values) {
        std::fputs(first ? "" : " ", f);
        std::fputs(text::formatNumber(v).c_str(), f);
        first = false;
    }
    std::fputc('\n', f);
}

std::string selectVars(const std::vector<int> &wanted, size_t n, std::vector<size_t> &sel) {
    sel.clear();
    if (wanted.empty()) {
        for (size_t i = 0; i < n; ++i) sel.push_back(i);
        return {};
    }
    for (int v : wanted) {
        if (v < 1 || static_cast<size_t>(v) > n)
            return "--vars: the file has " + std::to_string(n) + " variables (1.." + std::to_string(n) + ")";
        sel.push_back(static_cast<size_t>(v - 1));
    }
    return {};
}

std::string baseName(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quorvant::results::plot
