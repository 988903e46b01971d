// CSV tables of the result files, one sink per kind of file. Numbers are written the shortest way that
// reads back to the value in the source file; names that hold a comma or a quote are quoted.
#include <charconv>
#include <cstdio>
#include <span>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

#include "quorvant/results/csv_writer.h"
#include "quorvant/results/file_kind.h"
#include "quorvant/results/ga_reader.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/rsearch_reader.h"
#include "quorvant/results/rsearch_result_reader.h"
#include "quorvant/results/simulator_reader.h"
#include "quorvant/results/simulator_sink.h"
#include "quorvant/results/tool_status.h"

namespace qv::results {

namespace {

std::string csv_name(const std::string &name) {
    if (name.find_first_of(",\"\n") == std::string::npos) return name;
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// A row is put together in one buffer and written with one call (millions of rows for a big file).
class Out {
public:
    explicit Out(std::FILE *f) : f_(f) {}
    Out &field(const std::string &s) {
        sep();
        row_ += s;
        return *this;
    }
    Out &number(double v) {
        sep();
        char buf[32];
        const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
        row_.append(buf, ec == std::errc() ? p : buf);
        return *this;
    }
    void end() {
        row_ += '\n';
        std::fwrite(row_.data(), 1, row_.size(), f_);
        row_.clear();
    }

private:
    void sep() {
        if (!row_.empty()) row_ += ',';
    }
    std::FILE *f_;
    std::string row_;
};

class SimulatorCsv : public SimulatorSink {
public:
    explicit SimulatorCsv(std::FILE *f) : out_(f) {}
    void start(const SimulatorLayout &l) override { layout_ = l; }
    void begin_case(int number, const std::vector<SurveySetting> &s) override {
        case_no_ = number;
        settings_ = s;
        header();
    }
    void time_row(double t, std::span<const double> y) override {
        header();
        prefix();
        out_.number(t);
        for (double v : y) out_.number(v);
        out_.end();
    }
    void steady_state(std::span<const double> y) override {
        header();
        prefix();
        for (double v : y) out_.number(v);
        out_.end();
    }

private:
    // A case column for survey cases; the searches of rsearch are named by their rank and number.
    bool survey() const { return !layout_.searches && (layout_.cases > 0 || case_no_ > 0); }
    bool settings() const { return layout_.searches || survey(); }
    void header() {
        if (header_done_) return;
        header_done_ = true;
        if (survey()) out_.field("case");
        if (settings())
            for (const SurveySetting &s : settings_) out_.field(csv_name(s.name));
        if (!layout_.steady) out_.field("time");
        for (const std::string &n : layout_.names) out_.field(csv_name(n));
        out_.end();
    }
    void prefix() {
        if (survey()) out_.number(case_no_);
        if (settings())
            for (const SurveySetting &s : settings_) out_.number(s.value);
    }
    Out out_;
    SimulatorLayout layout_;
    int case_no_ = 0;
    std::vector<SurveySetting> settings_;
    bool header_done_ = false;
};

class GaCsv : public GaSink {
public:
    explicit GaCsv(std::FILE *f) : out_(f) {}
    void start(const GaLayout &l) override {
        out_.field("generation").field("island").field("rank").field("fitness");
        for (int k = 0; k < l.n_var; ++k) out_.field("variable[" + std::to_string(k) + "]");
        out_.end();
    }
    void begin_generation(int g) override { generation_ = g; }
    void individual(int island, int rank, double fitness, std::span<const double> x) override {
        out_.number(generation_).number(island).number(rank).number(fitness);
        for (double v : x) out_.number(v);
        out_.end();
    }

private:
    Out out_;
    int generation_ = 0;
};

class RsearchCsv : public RsearchSink {
public:
    explicit RsearchCsv(std::FILE *f) : out_(f) {}
    void start(const std::vector<std::string> &names) override {
        out_.field("rank").field("search").field("fitness");
        for (const std::string &n : names) out_.field(csv_name(n));
        out_.end();
    }
    void search(int rank, int number, double fitness, std::span<const double> x) override {
        out_.number(rank).number(number).number(fitness);
        for (double v : x) out_.number(v);
        out_.end();
    }

private:
    Out out_;
};

// One pass over the files into `sink`; the status as the user sees it.
template <class Sink>
ToolStatus read_into(FileKind kind, const std::vector<std::string> &paths, Sink &sink) {
    ReadStatus st;
    std::string path = paths.front();
    if constexpr (std::is_base_of_v<SimulatorSink, Sink>)
        st = kind == FileKind::RsearchResult ? read_rsearch_result(path, sink) : read_simulator_result(path, sink);
    else if constexpr (std::is_base_of_v<GaSink, Sink>) st = read_ga_report(path, sink);
    else st = read_rsearch_lists(paths, sink, path);
    if (!st.ok) return {1, describe(path, st)};
    return {};
}

template <class Csv, class Null>
ToolStatus two_passes(FileKind kind, const std::vector<std::string> &paths, std::FILE *out) {
    Null check;
    ToolStatus st = read_into(kind, paths, check);
    if (st.exit_code != 0) return st;
    Csv csv(out);
    st = read_into(kind, paths, csv);
    if (st.exit_code == 0 && (std::fflush(out) != 0 || std::ferror(out))) return {1, "cannot write the CSV output"};
    return st;
}

}  // namespace

ToolStatus write_csv(FileKind kind, const std::vector<std::string> &paths, std::FILE *out) {
    switch (kind) {
    case FileKind::SimulatorResult:
    case FileKind::RsearchResult: return two_passes<SimulatorCsv, SimulatorSink>(kind, paths, out);
    case FileKind::GaReport: return two_passes<GaCsv, GaSink>(kind, paths, out);
    case FileKind::RsearchList: return two_passes<RsearchCsv, RsearchSink>(kind, paths, out);
    default: break;
    }
    return {1, paths.front() + ": " + kind_name(kind) + " has no table to convert"};
}

}  // namespace qv::results
