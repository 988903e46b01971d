// Line-by-line reading of a file, and the small text helpers the result readers share.
#ifndef QUORVANT_RESULTS_TEXT_LINES_H
#define QUORVANT_RESULTS_TEXT_LINES_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "quorvant/common/file_owner.h"

namespace qv::results::text {

// A line is held only until the next one is read, so memory does not depend on the file's length.
class LineReader {
public:
    explicit LineReader(const std::string &path);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool is_open() const { return file_ != nullptr; }
    // The next line without its line end; false at the end of the file.
    bool next(std::string_view &line);
    long line_number() const { return number_; }
    // False when the last line read was not ended by a newline (a file cut off in that line).
    bool last_line_ended() const { return ended_; }
    bool read_error() const { return file_ && std::ferror(file_.get()); }

private:
    File file_;
    char *buffer_ = nullptr;
    size_t capacity_ = 0;
    long number_ = 0;
    bool ended_ = true;
};

std::string_view trim(std::string_view s);
bool starts_with(std::string_view s, std::string_view prefix);
bool is_blank(std::string_view s);

// The comma-separated fields of a line, trimmed (views into the line).
void split_fields(std::string_view line, std::vector<std::string_view> &fields);

// A whole field as a number (strtod syntax, "nan" and "inf" included); false for anything else.
bool parse_number(std::string_view field, double &value);
bool parse_int(std::string_view field, long &value);

// "'<field>' is not a number": the message of a reader that meets a field it cannot read.
std::string not_a_number(std::string_view field);

// Numbers written the shortest way that reads back to the same double.
std::string format_number(double value);

}  // namespace qv::results::text

#endif
