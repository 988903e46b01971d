// The simulator's result file, read row by row: the echo of the input (solver, variable tags), then per
// run or survey case a time course ("Time, y[1], ...") or a steady state ("index, y value"), the case's
// end marker, and the closing "$$ END ALL!!". Report text between the blocks (sensitivities,
// eigenvalues, the rest of the S-system report) is passed over. The S-system analysis gives its
// steady state as "index, STD value, Flux, #tag" rows (followed by an empty "index, y value" header),
// and its file has no starting values: there the rows name the variables.
#include <optional>

#include "quorvant/results_read.h"
#include "text_lines.h"

namespace quorvant::results {

namespace {

using namespace text;

enum class Block { None, TimeCourse, Steady };

// "$$ PARAMETER SURVEY No. 5 : k1[1] =  1.500E+00  k2[1] =  3.000E-01  "
bool parseSurveyLine(std::string_view line, int &number, std::vector<SurveySetting> &settings) {
    constexpr std::string_view kPrefix = "$$ PARAMETER SURVEY No.";
    const size_t colon = line.find(':');
    long n = 0;
    if (colon == std::string_view::npos || !parseInt(trim(line.substr(kPrefix.size(), colon - kPrefix.size())), n))
        return false;
    number = static_cast<int>(n);
    settings.clear();
    std::string_view rest = line.substr(colon + 1);
    for (;;) {
        rest = trim(rest);
        if (rest.empty()) return true;
        const size_t eq = rest.find('=');
        if (eq == std::string_view::npos) return false;
        SurveySetting s;
        s.name = std::string(trim(rest.substr(0, eq)));
        rest = trim(rest.substr(eq + 1));
        const size_t end = rest.find_first_of(" \t");
        if (s.name.empty() || !parseNumber(rest.substr(0, end), s.value)) return false;
        settings.push_back(std::move(s));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
}

class Reader {
public:
    Reader(const std::string &path, SimulatorSink &sink) : in_(path), sink_(sink) {}

    ReadStatus run();

private:
    ReadStatus echoLine(std::string_view line);
    ReadStatus resultLine(std::string_view line, bool &finished);
    ReadStatus rowLine(std::string_view line);
    ReadStatus steadyLine(std::string_view line);
    void ensureStarted(bool steady);
    void emitPendingCase();
    ReadStatus fail(std::string message) const { return ReadStatus::failure(in_.lineNumber(), std::move(message)); }

    LineReader in_;
    SimulatorSink &sink_;
    SimulatorLayout layout_;
    bool echo_ = true;
    bool inStartValues_ = false;
    bool started_ = false;
    Block block_ = Block::None;
    std::optional<std::pair<int, std::vector<SurveySetting>>> pendingCase_;
    std::vector<std::string_view> fields_;
    std::vector<double> values_;
    std::vector<std::string> steadyTags_;
};

ReadStatus Reader::run() {
    if (!in_.isOpen()) return ReadStatus::failure(0, "cannot open the file");
    std::string_view line;
    bool first = true, finished = false;
    while (!finished && in_.next(line)) {
        if (first && !isBlank(line)) {
            first = false;
            if (startsWith(line, "##### CPU ")) echo_ = false;   // a rank's own file: no echo
        }
        ReadStatus st = echo_ ? echoLine(line) : resultLine(line, finished);
        if (!st.ok) return st;
    }
    if (in_.readError()) return ReadStatus::failure(0, "cannot read the file");
    if (!finished) {
        if (block_ == Block::TimeCourse && !in_.lastLineEnded())
            return fail("the file ends in the middle of a row");
        return ReadStatus::failure(in_.lineNumber(), "the file ends before its '$$ END ALL!!' line "
                                                     "(the run did not finish, or the file is cut off)");
    }
    return {};
}

ReadStatus Reader::echoLine(std::string_view line) {
    if (startsWith(line, "$$ Results")) {
        echo_ = false;
        return {};
    }
    if (startsWith(line, "Solver No.")) {
        long solver = 0;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !parseInt(trim(line.substr(colon + 1)), solver))
            return fail("the solver number is not a number");
        layout_.solver = static_cast<int>(solver);
        return {};
    }
    if (startsWith(line, "#######")) {
        inStartValues_ = line.find("Starting Y Values") != std::string_view::npos;
        return {};
    }
    if (inStartValues_ && startsWith(line, "y[")) {
        const size_t hash = line.find('#');
        const std::string_view tag = hash == std::string_view::npos ? std::string_view() : trim(line.substr(hash + 1));
        layout_.names.push_back(tag.empty() ? "y[" + std::to_string(layout_.names.size() + 1) + "]" : std::string(tag));
        layout_.nVar = static_cast<int>(layout_.names.size());
    }
    return {};
}

void Reader::ensureStarted(bool steady) {
    if (started_) return;
    layout_.steady = steady;
    for (int i = static_cast<int>(layout_.names.size()); i < layout_.nVar; ++i)
        layout_.names.push_back("y[" + std::to_string(i + 1) + "]");
    sink_.start(layout_);
    started_ = true;
}

void Reader::emitPendingCase() {
    if (!pendingCase_) return;
    sink_.beginCase(pendingCase_->first, pendingCase_->second);
    pendingCase_.reset();
}

ReadStatus Reader::rowLine(std::string_view line) {
    splitFields(line, fields_);
    if (static_cast<int>(fields_.size()) != layout_.nVar + 1) {
        if (!in_.lastLineEnded()) return fail("the file ends in the middle of a row");
        return fail("a row of " + std::to_string(fields_.size()) + " values under a header of " +
                    std::to_string(layout_.nVar + 1) + " columns");
    }
    values_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!parseNumber(fields_[i], values_[i])) {
            if (!in_.lastLineEnded()) return fail("the file ends in the middle of a row");
            return fail("'" + std::string(fields_[i]) + "' is not a number");
        }
    if (!in_.lastLineEnded()) return fail("the file ends in the middle of a row");
    sink_.timeRow(values_[0], std::span<const double>(values_).subspan(1));
    return {};
}

ReadStatus Reader::steadyLine(std::string_view line) {
    splitFields(line, fields_);
    long index = 0;
    double value = 0;
    if (fields_.size() < 2 || !parseInt(fields_[0], index) || !parseNumber(fields_[1], value) || !in_.lastLineEnded())
        return fail(in_.lastLineEnded() ? "a steady-state line that is not 'index, value, #tag'"
                                        : "the file ends in the middle of a row");
    if (index != static_cast<long>(values_.size()) + 1 || (layout_.nVar > 0 && index > layout_.nVar))
        return fail("steady-state variable " + std::to_string(index) + " out of order");
    values_.push_back(value);
    const std::string_view last = fields_.back();
    steadyTags_.push_back(startsWith(last, "#") ? std::string(trim(last.substr(1))) : std::string());
    return {};
}

ReadStatus Reader::resultLine(std::string_view line, bool &finished) {
    // Inside a block every line is a row until a blank line or a "$$" line ends it.
    const bool endsBlock = isBlank(line) || startsWith(line, "$$");
    if (block_ == Block::TimeCourse) {
        if (!endsBlock) return rowLine(line);
        block_ = Block::None;
    } else if (block_ == Block::Steady) {
        if (!endsBlock) return steadyLine(line);
        block_ = Block::None;
        if (!values_.empty()) {   // an S-system's bare "index, y value" header has no rows
            if (layout_.nVar == 0 && !started_) {
                layout_.nVar = static_cast<int>(values_.size());
                for (size_t i = 0; i < steadyTags_.size(); ++i)
                    layout_.names.push_back(steadyTags_[i].empty() ? "y[" + std::to_string(i + 1) + "]" : steadyTags_[i]);
            }
            if (static_cast<int>(values_.size()) != layout_.nVar)
                return fail("a steady state of " + std::to_string(values_.size()) + " variables where the file has " +
                            std::to_string(layout_.nVar));
            ensureStarted(true);
            emitPendingCase();
            sink_.steadyState(values_);
        }
    }

    if (startsWith(line, "$$ END ALL")) {
        finished = true;
    } else if (startsWith(line, "$$ ABORT")) {
        return fail("the run was aborted ('$$ ABORT!!'): the file holds no complete result");
    } else if (startsWith(line, "##### Parameter Survey :")) {
        long cases = 0;
        const size_t colon = line.find(':');
        const std::string_view count = trim(line.substr(colon + 1));
        if (!parseInt(count.substr(0, count.find(' ')), cases) || cases < 1)
            return fail("the survey's number of cases is not a number");
        if (layout_.cases == 0) layout_.cases = static_cast<int>(cases);
    } else if (startsWith(line, "$$ PARAMETER SURVEY No.")) {
        std::pair<int, std::vector<SurveySetting>> c;
        if (!parseSurveyLine(line, c.first, c.second)) return fail("a survey case line that cannot be read");
        if (!in_.lastLineEnded()) return fail("the file ends in the middle of a line");
        pendingCase_ = std::move(c);
    } else if (startsWith(line, "Time") && line.find(',') != std::string_view::npos) {
        splitFields(line, fields_);
        const int n = static_cast<int>(fields_.size()) - 1;
        if (layout_.nVar == 0) layout_.nVar = n;
        if (n != layout_.nVar)
            return fail("a time course of " + std::to_string(n) + " variables where the file has " +
                        std::to_string(layout_.nVar));
        ensureStarted(false);
        emitPendingCase();
        block_ = Block::TimeCourse;
    } else if (startsWith(line, "index,")) {
        values_.clear();
        steadyTags_.clear();
        block_ = Block::Steady;
    } else if (startsWith(line, "$$ Finish Successfully") || startsWith(line, "$$ Failed")) {
        ensureStarted(layout_.solver > 10);
        emitPendingCase();
        sink_.endCase(startsWith(line, "$$ Finish"));
    }
    return {};
}

}  // namespace

ReadStatus readSimulatorResult(const std::string &path, SimulatorSink &sink) {
    Reader reader(path, sink);
    return reader.run();
}

}  // namespace quorvant::results
