// The simulator's result file, read row by row: the echo of the input (solver, variable tags), then per
// run or survey case a time course ("Time, y[1], ...") or a steady state ("index, y value"), the case's
// end marker, and the closing "$$ END ALL!!". Report text between the blocks (sensitivities,
// eigenvalues, the rest of the S-system report) is passed over. The S-system analysis gives its
// steady state as "index, STD value, Flux, #tag" rows (followed by an empty "index, y value" header),
// and its file has no starting values: there the rows name the variables.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvant/results/read_status.h"
#include "quorvant/results/simulator_reader.h"
#include "quorvant/results/simulator_sink.h"
#include "text_lines.h"

namespace qv::results {

namespace {

using namespace text;

enum class Block { None, TimeCourse, Steady };

// "$$ PARAMETER SURVEY No. 5 : k1[1] =  1.500E+00  k2[1] =  3.000E-01  "
bool parse_survey_line(std::string_view line, int &number, std::vector<SurveySetting> &settings) {
    constexpr std::string_view kPrefix = "$$ PARAMETER SURVEY No.";
    const size_t colon = line.find(':');
    long n = 0;
    if (colon == std::string_view::npos || !parse_int(trim(line.substr(kPrefix.size(), colon - kPrefix.size())), n))
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
        if (s.name.empty() || !parse_number(rest.substr(0, end), s.value)) return false;
        settings.push_back(std::move(s));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
}

class Reader {
public:
    Reader(const std::string &path, SimulatorSink &sink) : in_(path), sink_(sink) {}

    ReadStatus run();

private:
    ReadStatus echo_line(std::string_view line);
    ReadStatus result_line(std::string_view line, bool &finished);
    ReadStatus row_line(std::string_view line);
    ReadStatus steady_line(std::string_view line);
    void ensure_started(bool steady);
    void emit_pending_case();
    ReadStatus fail(std::string message) const { return ReadStatus::failure(in_.line_number(), std::move(message)); }

    LineReader in_;
    SimulatorSink &sink_;
    SimulatorLayout layout_;
    bool echo_ = true;
    bool in_start_values_ = false;
    bool started_ = false;
    Block block_ = Block::None;
    std::optional<std::pair<int, std::vector<SurveySetting>>> pending_case_;
    std::vector<std::string_view> fields_;
    std::vector<double> values_;
    std::vector<std::string> steady_tags_;
};

ReadStatus Reader::run() {
    if (!in_.is_open()) return ReadStatus::failure(0, "cannot open the file");
    std::string_view line;
    bool first = true, finished = false;
    while (!finished && in_.next(line)) {
        if (first && !is_blank(line)) {
            first = false;
            if (starts_with(line, "##### CPU ")) echo_ = false;   // a rank's own file: no echo
        }
        ReadStatus st = echo_ ? echo_line(line) : result_line(line, finished);
        if (!st.ok) return st;
    }
    if (in_.read_error()) return ReadStatus::failure(0, "cannot read the file");
    if (!finished) {
        if (block_ == Block::TimeCourse && !in_.last_line_ended())
            return fail("the file ends in the middle of a row");
        return ReadStatus::failure(in_.line_number(), "the file ends before its '$$ END ALL!!' line "
                                                     "(the run did not finish, or the file is cut off)");
    }
    return {};
}

ReadStatus Reader::echo_line(std::string_view line) {
    if (starts_with(line, "$$ Results")) {
        echo_ = false;
        return {};
    }
    if (starts_with(line, "Solver No.")) {
        long solver = 0;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !parse_int(trim(line.substr(colon + 1)), solver))
            return fail("the solver number is not a number");
        layout_.solver = static_cast<int>(solver);
        return {};
    }
    if (starts_with(line, "#######")) {
        in_start_values_ = line.find("Starting Y Values") != std::string_view::npos;
        return {};
    }
    if (in_start_values_ && starts_with(line, "y[")) {
        const size_t hash = line.find('#');
        const std::string_view tag = hash == std::string_view::npos ? std::string_view() : trim(line.substr(hash + 1));
        layout_.names.push_back(tag.empty() ? "y[" + std::to_string(layout_.names.size() + 1) + "]" : std::string(tag));
        layout_.n_var = static_cast<int>(layout_.names.size());
    }
    return {};
}

void Reader::ensure_started(bool steady) {
    if (started_) return;
    layout_.steady = steady;
    for (int i = static_cast<int>(layout_.names.size()); i < layout_.n_var; ++i)
        layout_.names.push_back("y[" + std::to_string(i + 1) + "]");
    sink_.start(layout_);
    started_ = true;
}

void Reader::emit_pending_case() {
    if (!pending_case_) return;
    sink_.begin_case(pending_case_->first, pending_case_->second);
    pending_case_.reset();
}

ReadStatus Reader::row_line(std::string_view line) {
    split_fields(line, fields_);
    if (static_cast<int>(fields_.size()) != layout_.n_var + 1) {
        if (!in_.last_line_ended()) return fail("the file ends in the middle of a row");
        return fail("a row of " + std::to_string(fields_.size()) + " values under a header of " +
                    std::to_string(layout_.n_var + 1) + " columns");
    }
    values_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!parse_number(fields_[i], values_[i])) {
            if (!in_.last_line_ended()) return fail("the file ends in the middle of a row");
            return fail(not_a_number(fields_[i]));
        }
    if (!in_.last_line_ended()) return fail("the file ends in the middle of a row");
    sink_.time_row(values_[0], std::span<const double>(values_).subspan(1));
    return {};
}

ReadStatus Reader::steady_line(std::string_view line) {
    split_fields(line, fields_);
    long index = 0;
    double value = 0;
    if (fields_.size() < 2 || !parse_int(fields_[0], index) || !parse_number(fields_[1], value) || !in_.last_line_ended())
        return fail(in_.last_line_ended() ? "a steady-state line that is not 'index, value, #tag'"
                                        : "the file ends in the middle of a row");
    if (index != static_cast<long>(values_.size()) + 1 || (layout_.n_var > 0 && index > layout_.n_var))
        return fail("steady-state variable " + std::to_string(index) + " out of order");
    values_.push_back(value);
    const std::string_view last = fields_.back();
    steady_tags_.push_back(starts_with(last, "#") ? std::string(trim(last.substr(1))) : std::string());
    return {};
}

ReadStatus Reader::result_line(std::string_view line, bool &finished) {
    // Inside a block every line is a row until a blank line or a "$$" line ends it.
    const bool ends_block = is_blank(line) || starts_with(line, "$$");
    if (block_ == Block::TimeCourse) {
        if (!ends_block) return row_line(line);
        block_ = Block::None;
    } else if (block_ == Block::Steady) {
        if (!ends_block) return steady_line(line);
        block_ = Block::None;
        if (!values_.empty()) {   // an S-system's bare "index, y value" header has no rows
            if (layout_.n_var == 0 && !started_) {
                layout_.n_var = static_cast<int>(values_.size());
                for (size_t i = 0; i < steady_tags_.size(); ++i)
                    layout_.names.push_back(steady_tags_[i].empty() ? "y[" + std::to_string(i + 1) + "]" : steady_tags_[i]);
            }
            if (static_cast<int>(values_.size()) != layout_.n_var)
                return fail("a steady state of " + std::to_string(values_.size()) + " variables where the file has " +
                            std::to_string(layout_.n_var));
            ensure_started(true);
            emit_pending_case();
            sink_.steady_state(values_);
        }
    }

    if (starts_with(line, "$$ END ALL")) {
        finished = true;
    } else if (starts_with(line, "$$ ABORT")) {
        return fail("the run was aborted ('$$ ABORT!!'): the file holds no complete result");
    } else if (starts_with(line, "##### Parameter Survey :")) {
        long cases = 0;
        const size_t colon = line.find(':');
        const std::string_view count = trim(line.substr(colon + 1));
        if (!parse_int(count.substr(0, count.find(' ')), cases) || cases < 1)
            return fail("the survey's number of cases is not a number");
        if (layout_.cases == 0) layout_.cases = static_cast<int>(cases);
    } else if (starts_with(line, "$$ PARAMETER SURVEY No.")) {
        std::pair<int, std::vector<SurveySetting>> c;
        if (!parse_survey_line(line, c.first, c.second)) return fail("a survey case line that cannot be read");
        if (!in_.last_line_ended()) return fail("the file ends in the middle of a line");
        pending_case_ = std::move(c);
    } else if (starts_with(line, "Time") && line.find(',') != std::string_view::npos) {
        split_fields(line, fields_);
        const int n = static_cast<int>(fields_.size()) - 1;
        if (layout_.n_var == 0) layout_.n_var = n;
        if (n != layout_.n_var)
            return fail("a time course of " + std::to_string(n) + " variables where the file has " +
                        std::to_string(layout_.n_var));
        ensure_started(false);
        emit_pending_case();
        block_ = Block::TimeCourse;
    } else if (starts_with(line, "index,")) {
        values_.clear();
        steady_tags_.clear();
        block_ = Block::Steady;
    } else if (starts_with(line, "$$ Finish Successfully") || starts_with(line, "$$ Failed")) {
        ensure_started(layout_.solver > 10);
        emit_pending_case();
        sink_.end_case(starts_with(line, "$$ Finish"));
    }
    return {};
}

}  // namespace

ReadStatus read_simulator_result(const std::string &path, SimulatorSink &sink) {
    Reader reader(path, sink);
    return reader.run();
}

}  // namespace qv::results
