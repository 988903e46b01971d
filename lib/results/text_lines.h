// Line-by-line reading and the small text helpers the result readers share. A line is held only until
// the next one is read, so memory does not depend on the file's length.
#ifndef QUORVANT_RESULTS_TEXT_LINES_H
#define QUORVANT_RESULTS_TEXT_LINES_H

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvant::results::text {

struct FileCloser {
    void operator()(std::FILE *f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class LineReader {
public:
    explicit LineReader(const std::string &path);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // The next line without its line end; false at the end of the file.
    bool next(std::string_view &line);
    long lineNumber() const { return number_; }
    // False when the last line read was not ended by a newline (a file cut off in that line).
    bool lastLineEnded() const { return ended_; }
    bool readError() const { return file_ && std::ferror(file_.get()); }

private:
    File file_;
    char *buffer_ = nullptr;
    size_t capacity_ = 0;
    long number_ = 0;
    bool ended_ = true;
};

std::string_view trim(std::string_view s);
bool startsWith(std::string_view s, std::string_view prefix);
bool isBlank(std::string_view s);

// The comma-separated fields of a line, trimmed (views into the line).
void splitFields(std::string_view line, std::vector<std::string_view> &fields);

// A whole field as a number (strtod syntax, "nan" and "inf" included); false for anything else.
bool parseNumber(std::string_view field, double &value);
bool parseInt(std::string_view field, long &value);

// Numbers written the shortest way that reads back to the same double.
std::string formatNumber(double value);

}  // namespace quorvant::results::text

#endif
