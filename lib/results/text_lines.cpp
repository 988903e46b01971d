#include <stdio.h>
#include <sys/types.h>

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "quorvant/common/file_owner.h"
#include "text_lines.h"

namespace qv::results::text {

LineReader::LineReader(const std::string &path) : file_(open_file(path.c_str(), "r")) {}

LineReader::~LineReader() { std::free(buffer_); }

bool LineReader::next(std::string_view &line) {
    if (!file_) return false;
    const ssize_t n = ::getline(&buffer_, &capacity_, file_.get());
    if (n < 0) return false;
    ++number_;
    size_t len = static_cast<size_t>(n);
    ended_ = len > 0 && buffer_[len - 1] == '\n';
    if (ended_) --len;
    if (len > 0 && buffer_[len - 1] == '\r') --len;
    line = std::string_view(buffer_, len);
    return true;
}

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool is_blank(std::string_view s) { return trim(s).empty(); }

void split_fields(std::string_view line, std::vector<std::string_view> &fields) {
    fields.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(trim(line.substr(start)));
            return;
        }
        fields.push_back(trim(line.substr(start, comma - start)));
        start = comma + 1;
    }
}

bool parse_number(std::string_view field, double &value) {
    if (field.empty()) return false;
    // from_chars is the fast path (millions of numbers in a big file); strtod takes what it does not
    // (a leading '+', hexadecimal).
    const auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec == std::errc() && p == field.data() + field.size()) return true;
    // Fields are short; copy to a terminated buffer so strtod cannot run past the field.
    constexpr size_t kLongestNumber = 64;
    if (field.size() >= kLongestNumber) return false;
    char buf[kLongestNumber];
    std::memcpy(buf, field.data(), field.size());
    buf[field.size()] = '\0';
    char *end = nullptr;
    value = std::strtod(buf, &end);
    return end == buf + field.size();
}

bool parse_int(std::string_view field, long &value) {
    if (field.empty()) return false;
    const auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    return ec == std::errc() && p == field.data() + field.size();
}

std::string not_a_number(std::string_view field) {
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on a chain of operator+.
    std::string message = "'";
    message.append(field).append("' is not a number");
    return message;
}

std::string format_number(double value) {
    char buf[32];
    const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, p) : std::string("nan");
}

}  // namespace qv::results::text
