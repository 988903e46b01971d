#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "plot_parts.h"
#include "quorvant/common/file_owner.h"
#include "text_lines.h"

namespace qv::results::plot {

std::string data_label(std::string s) {
    std::replace(s.begin(), s.end(), '"', '\'');
    return s;
}

File temp_data() { return File(std::tmpfile()); }

void print_row(std::FILE *f, std::initializer_list<double> values) {
    bool first = true;
    for (double v : values) {
        std::fputs(first ? "" : " ", f);
        std::fputs(text::format_number(v).c_str(), f);
        first = false;
    }
    std::fputc('\n', f);
}

std::string select_vars(const std::vector<int> &wanted, size_t n, std::vector<size_t> &sel) {
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

std::string base_name(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace qv::results::plot
