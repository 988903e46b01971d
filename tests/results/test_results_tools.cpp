// qv_results end to end on files the programs wrote (tests/results/data, see its README): each kind of
// file recognised, its CSV equal to the numbers in the file, its picture holding one plotted series per
// variable or case with every point; refused files and bad usage with their messages and statuses;
// and a gasearch run restarted from its own report.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text_files.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(QV_SOURCE_DIR) + "/tests/results/data/";
const std::string kBin = std::string(QV_BINARY_DIR) + "/bin/";

using qv::test::read_file;
using qv::test::split_lines;

std::vector<std::string> lines(const std::string &text) { return split_lines(text); }

std::vector<std::string> split(const std::string &line, char sep = ',') {
    std::vector<std::string> f;
    std::istringstream in(line);
    std::string s;
    while (std::getline(in, s, sep)) f.push_back(s);
    return f;
}

// Every field of a line as a number; fields that are not wholly numbers end the list.
std::vector<double> numbers(const std::string &line) {
    std::vector<double> v;
    for (const std::string &f : split(line)) {
        char *end = nullptr;
        const double x = std::strtod(f.c_str(), &end);
        if (end == f.c_str()) break;
        v.push_back(x);
    }
    return v;
}

std::string quote(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class ResultsTool : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char tmpl[] = "/tmp/qv_results_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    Outcome run(const std::string &program, const std::vector<std::string> &args, const std::string &env = "") {
        // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on a chain of operator+.
        std::string cmd = "cd ";
        cmd.append(quote(dir.string())).append(" && ").append(env).append(" ").append(quote(kBin + program));
        for (const std::string &a : args) cmd.append(" ").append(quote(a));
        cmd += " > out.txt 2> err.txt";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, read_file(dir / "out.txt"), read_file(dir / "err.txt")};
    }
    Outcome tool(const std::vector<std::string> &args, const std::string &env = "") { return run("qv_results", args, env); }
    Outcome mpi(const std::string &program, const std::vector<std::string> &args) {
        return run(program, args, "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0:fast_unwind_on_malloc=1\" " + std::string(QV_MPIEXEC) + " -n 1");
    }
    void write(const std::string &name, const std::string &text) { std::ofstream(dir / name) << text; }
};

// --- what the source files hold, read independently of the tool ----------------------------------

// Rows of the time courses {case, t, y...} (case 0 outside a survey) or of the steady states
// {case, y...}; survey values from the case lines.
std::vector<std::vector<double>> simulator_rows(const std::string &text, bool steady) {
    std::vector<std::vector<double>> rows;
    double case_no = 0;
    bool in = false;
    std::vector<double> steady_row;
    for (const std::string &line : lines(text)) {
        if (line.rfind("$$ PARAMETER SURVEY No. ", 0) == 0) case_no = std::atof(line.c_str() + 24);
        if (line.rfind("Time      ,", 0) == 0 || line.rfind("index,", 0) == 0) {
            in = true;
            steady_row = {case_no};
            continue;
        }
        if (in && (line.empty() || line[0] == '$')) {
            in = false;
            if (steady && steady_row.size() > 1) rows.push_back(steady_row);   // not the S-system's empty block
            continue;
        }
        if (!in) continue;
        std::vector<double> v = numbers(line);
        if (steady) {
            steady_row.push_back(v.at(1));
        } else {
            v.insert(v.begin(), case_no);
            rows.push_back(v);
        }
    }
    return rows;
}

// {generation, island, rank, fitness, values...} of every individual of a report.
std::vector<std::vector<double>> ga_rows(const std::string &text) {
    std::vector<std::vector<double>> rows;
    double generation = -1;
    for (const std::string &line : lines(text)) {
        if (line.rfind("generation,", 0) == 0) generation = std::atof(line.c_str() + 11);
        if (line.empty() || line[0] != '[') continue;
        int i = -1, k = -1;
        std::sscanf(line.c_str(), "[%d][%d]", &i, &k);
        std::vector<double> v = numbers(line.substr(line.find(',') + 1));
        v.insert(v.begin(), {generation, double(i), double(k)});
        rows.push_back(v);
    }
    return rows;
}

// {rank, search, fitness, values...} of every line "No<rank>-<k>, ..." of the list files.
std::vector<std::vector<double>> list_rows(const std::vector<std::string> &texts) {
    std::vector<std::vector<double>> rows;
    for (const std::string &text : texts)
        for (const std::string &line : lines(text)) {
            int r = -1, k = -1;
            if (std::sscanf(line.c_str(), "No%d-%d,", &r, &k) != 2) continue;
            std::vector<double> v = numbers(line.substr(line.find(',') + 1));
            v.insert(v.begin(), {double(r), double(k)});
            rows.push_back(v);
        }
    return rows;
}

// {rank, search, fitness, values..., t, y...} of every row of an rsearch result file.
std::vector<std::vector<double>> search_rows(const std::string &text) {
    std::vector<std::vector<double>> rows;
    std::vector<double> search;
    bool values = false, in = false;
    for (const std::string &line : lines(text)) {
        int r = -1, k = -1;
        if (std::sscanf(line.c_str(), "$$ Random Search No%d-%d", &r, &k) == 2) {
            search = {double(r), double(k)};
            in = false;
        } else if (line.rfind("fitness,", 0) == 0) {
            values = true;
        } else if (values) {
            for (double v : numbers(line)) search.push_back(v);
            values = false;
        } else if (line.rfind("Time,", 0) == 0) {
            in = true;
        } else if (in && !line.empty()) {
            std::vector<double> row = search;
            for (double v : numbers(line)) row.push_back(v);
            rows.push_back(row);
        } else {
            in = false;
        }
    }
    return rows;
}

// --- what the picture holds ------------------------------------------------------------------------

struct Series {
    int points = 0;    // vertices of the drawn line (the key's sample left out)
    int symbols = 0;   // point symbols
};

// One entry per plotted series: gnuplot's SVG puts each in a group "gnuplot_plot_<n><panel>".
std::vector<Series> svg_series(const std::string &svg) {
    std::vector<Series> out;
    const std::string open = "<g id=\"gnuplot_plot_";
    for (size_t at = svg.find(open); at != std::string::npos;) {
        // The group with its nested groups, up to its own closing tag.
        size_t end = at + 1;
        for (int depth = 1; depth > 0 && end != std::string::npos;) {
            const size_t g = svg.find("<g", end), close = svg.find("</g>", end);
            if (close == std::string::npos) end = std::string::npos;
            else if (g < close) ++depth, end = g + 2;
            else --depth, end = close + 4;
        }
        const std::string group = svg.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const size_t next = svg.find(open, at + 1);
        Series s;
        const bool titled = group.find("<text>") != std::string::npos;
        bool key_sample = titled;
        for (size_t d = group.find(" d='"); d != std::string::npos; d = group.find(" d='", d + 1)) {
            const std::string path = group.substr(d + 4, group.find('\'', d + 4) - d - 4);
            for (const std::string &sub : split(path, 'M')) {
                const int pairs = static_cast<int>(std::count(sub.begin(), sub.end(), ','));
                if (pairs == 0) continue;
                if (key_sample) key_sample = false;
                else s.points += pairs;
            }
        }
        for (size_t u = group.find("<use "); u != std::string::npos; u = group.find("<use ", u + 1)) ++s.symbols;
        if (titled && s.symbols > 0) --s.symbols;   // the key's sample symbol
        out.push_back(s);
        at = next;
    }
    return out;
}

struct FileCase {
    const char *name;
    std::vector<std::string> files;      // under tests/results/data
    std::vector<std::string> plot_args;   // extra options
    const char *header;                  // first CSV line
    int series;                          // plotted series
    int points_per_series;                 // vertices of each line (0: not checked)
    int symbols_per_series;                // point symbols of each series (0: not checked)
};

TEST_F(ResultsTool, EveryKindOfFileBecomesItsTableAndItsPicture) {
    const FileCase cases[] = {
        {"time course", {"pathway.out"}, {}, "time,E_free_enzyme,S_substrate,ES_complex,P_product", 4, 41, 0},
        {"survey, joined", {"survey.out"}, {}, "case,k1[1],k2[1],time,X1,X2", 20, 6, 0},
        {"survey, one variable", {"survey.out"}, {"--vars", "2"}, "case,k1[1],k2[1],time,X1,X2", 10, 6, 0},
        {"survey, a rank's own file", {"survey_rank1.out"}, {}, "case,k1[1],k2[1],time,y[1],y[2]", 6, 6, 0},
        // 23 rows; C jumps at t = 50 (two vertices), the rows twice at t = 80 are one vertex.
        {"NDF solver, an event time twice", {"robertson.out"}, {"--vars", "3"}, "time,A,B,C", 1, 22, 0},
        {"steady state", {"steady.out"}, {}, "E_free_enzyme,S_substrate,ES_complex,P_product", 1, 0, 0},
        {"S-system steady state", {"ssystem.out"}, {}, "X1_intermediate,X2_end_product", 1, 0, 0},
        {"steady-state survey", {"steady_survey.out"}, {"--vars", "1,4"},
         "case,v_in[1],E_free_enzyme,S_substrate,ES_complex,P_product", 2, 4, 4},
        {"gasearch report", {"fit.report"}, {"--log-y"}, "generation,island,rank,fitness,variable[0],variable[1],variable[2]",
         4, 0, 0},
        {"rsearch lists of two ranks", {"rs_list_1", "rs_list_2"}, {}, "rank,search,fitness,k1[1],k2[1]", 2, 0, 12},
        {"rsearch result file", {"rs_result_1"}, {}, "rank,search,fitness,k1[1],k2[1],time,y[1],y[2]", 16, 10, 0},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> paths, texts;
        for (const std::string &f : c.files) {
            paths.push_back(kData + f);
            texts.push_back(read_file(kData + f));
        }

        // CSV: the header, then exactly the numbers of the source file in its order.
        std::vector<std::string> args{"csv"};
        args.insert(args.end(), paths.begin(), paths.end());
        const Outcome csv = tool(args);
        ASSERT_EQ(csv.status, 0) << csv.err;
        const std::vector<std::string> table = lines(csv.out);
        ASSERT_FALSE(table.empty());
        EXPECT_EQ(table[0], c.header);
        const size_t columns = split(c.header).size();
        std::vector<std::vector<double>> expected;
        const std::string &h = c.header;
        if (h.rfind("generation", 0) == 0) expected = ga_rows(texts[0]);
        else if (h.rfind("rank", 0) == 0 && h.find("time") != std::string::npos) expected = search_rows(texts[0]);
        else if (h.rfind("rank", 0) == 0) expected = list_rows(texts);
        else {
            const bool steady = h.find("time") == std::string::npos;
            expected = simulator_rows(texts[0], steady);
            for (auto &row : expected) {
                if (h.rfind("case", 0) != 0) row.erase(row.begin());   // no case column outside a survey
                else if (h.find("k1[1],k2[1]") != std::string::npos)
                    // The linear survey: k1 = 0.5 + 0.25 i (5 values) runs fastest, k2 = 0.3 * 2^j.
                    row.insert(row.begin() + 1, {0.5 + 0.25 * (int(row[0] - 1) % 5), 0.3 * std::pow(2.0, int(row[0] - 1) / 5)});
                else
                    row.insert(row.begin() + 1, 0.1 + 0.2 * (row[0] - 1));   // v_in = 0.1, 0.3, 0.5, 0.7
            }
        }
        ASSERT_EQ(table.size(), expected.size() + 1);
        for (size_t r = 0; r < expected.size(); ++r) {
            const std::vector<std::string> f = split(table[r + 1]);
            ASSERT_EQ(f.size(), columns) << table[r + 1];
            ASSERT_EQ(expected[r].size(), columns) << "source row " << r;
            for (size_t k = 0; k < columns; ++k)
                EXPECT_NEAR(std::stod(f[k]), expected[r][k], 1e-12 * std::fabs(expected[r][k])) << "row " << r + 1 << " column " << k;
        }

        // Picture: one group per series, every point of it drawn.
        args = {"plot"};
        args.insert(args.end(), paths.begin(), paths.end());
        args.insert(args.end(), {"-o", "pic.svg"});
        args.insert(args.end(), c.plot_args.begin(), c.plot_args.end());
        const Outcome plot = tool(args);
        ASSERT_EQ(plot.status, 0) << plot.err;
        EXPECT_EQ(plot.out, "pic.svg\n");
        const std::vector<Series> series = svg_series(read_file(dir / "pic.svg"));
        ASSERT_EQ(static_cast<int>(series.size()), c.series);
        for (const Series &s : series) {
            if (c.points_per_series) {
                EXPECT_EQ(s.points, c.points_per_series);
            }
            if (c.symbols_per_series) {
                EXPECT_EQ(s.symbols, c.symbols_per_series);
            }
        }
    }
    // A long list is thinned for the picture: every second of 30000 searches, and all of the 1000 best
    // (fitness -k: searches 0..999, of which the odd 500 are not in the sample).
    std::string big = "No, fitness, a[1]\n";
    for (int k = 0; k < 30000; ++k) big += "No1-" + std::to_string(k) + ", " + std::to_string(-k) + ", 0.5\n";
    write("big_list", big);
    ASSERT_EQ(tool({"plot", "big_list", "-o", "big.svg"}).status, 0);
    const std::vector<Series> thinned = svg_series(read_file(dir / "big.svg"));
    ASSERT_EQ(thinned.size(), 1u);
    EXPECT_EQ(thinned[0].symbols, 15500);

    // Without -o the picture is named after the file, beside it.
    fs::copy_file(kData + "pathway.out", dir / "p.out");
    const Outcome plain = tool({"plot", "p.out"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "p.out.svg\n");
    EXPECT_TRUE(fs::exists(dir / "p.out.svg"));
    // PNG through the cairo terminal.
    const Outcome png = tool({"plot", "p.out", "-o", "p.png"});
    EXPECT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(read_file(dir / "p.png").substr(1, 3), "PNG");
}

struct Refused {
    const char *name;
    std::string text;      // written as the file "in"
    const char *message;   // standard error
};

std::string cut_at(const std::string &text, const std::string &marker, int offset) {
    return text.substr(0, text.find(marker) + static_cast<size_t>(offset));
}

TEST_F(ResultsTool, FilesThatAreNoneOfTheKindsOrCutOffAreRefusedWithoutOutput) {
    const std::string pathway = read_file(kData + "pathway.out");
    const std::string report = read_file(kData + "fit.report");
    const std::string list = read_file(kData + "rs_list_1");
    const Refused cases[] = {
        {"empty", "", "in: an empty file: nothing to "},
        {"blank lines only", "\n  \n", "in: an empty file: nothing to "},
        {"foreign", "Hello,1,2\n3,4\n", "in: not a result file of simulator, gasearch or rsearch: nothing to "},
        {"restart file", read_file(kData + "initVal.txt"),
         "in: a simulator restart file (initVal.txt): its final state is for the next run's Y_START lines, nothing to "},
        {"rsearch result cut in a row", cut_at(read_file(kData + "rs_result_1"), " 1.000E+00,  3.688E-01", 12),
         "in:31: the file ends in the middle of a row"},
        {"cut in a row", cut_at(pathway, " 1.006E+00,  8.071E-01,", 17), "in:45: the file ends in the middle of a row"},
        {"cut after a row", cut_at(pathway, " 1.006E+00,  8.071E-01,", 0),
         "in:44: the file ends before its '$$ END ALL!!' line (the run did not finish, or the file is cut off)"},
        {"garbled number", std::string(pathway).replace(pathway.find("8.071E-01"), 9, "8.071E-0x"),
         "in:45: '8.071E-0x' is not a number"},
        {"a value missing", std::string(pathway).replace(pathway.find(",  8.071E-01"), 12, ""),
         "in:45: a row of 4 values under a header of 5 columns"},
        {"aborted run", cut_at(pathway, "$$ Finish", 0) + "\n$$ ABORT!!\n",
         "the run was aborted ('$$ ABORT!!'): the file holds no complete result"},
        {"report cut in a generation", cut_at(report, "generation,3", 0) + "generation,3\nBest gene:\n",
         "the file ends inside generation 3 (after 0 of its 24 individuals)"},
        {"report cut in a line", cut_at(report, "[1][5], ", 10), "the file ends in the middle of a line (cut off in generation 0)"},
        {"report without generations", cut_at(report, "generation,0", 0), "in: the report holds no generation"},
        {"list row too short", list + "No1-99, -1.0\n", "in:10: a search with 0 values where the header names 2 variables"},
        {"list cut in a row", list.substr(0, list.size() - 5), "in:9: the file ends in the middle of a row"},
    };
    for (const Refused &c : cases) {
        SCOPED_TRACE(c.name);
        write("in", c.text);
        for (const char *command : {"csv", "plot"}) {
            const Outcome r = tool({command, "in"});
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << command << ": " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(r.out, "") << command;
            EXPECT_FALSE(fs::exists(dir / "in.svg"));
        }
    }
    EXPECT_EQ(tool({"csv", "missing"}).err, "missing: cannot open the file\n");
}

TEST_F(ResultsTool, BadUsageEndsWithStatus2AndAMissingGnuplotWith1) {
    struct Usage {
        std::vector<std::string> args;
        const char *message;
    };
    const std::string pathway = kData + "pathway.out";
    const Usage cases[] = {
        {{}, "qv_results: a command is needed"},
        {{"draw", pathway}, "qv_results: unknown command 'draw'"},
        {{"plot"}, "qv_results: plot needs a FILE"},
        {{"plot", pathway, "-o", "x.pdf"}, "qv_results: -o: the picture's name must end in .svg or .png: 'x.pdf'"},
        {{"plot", pathway, "-o"}, "qv_results: -o needs a value"},
        {{"plot", pathway, "--vars", "0"}, "qv_results: --vars: a list of variable numbers from 1, such as 1,3: '0'"},
        {{"plot", pathway, "--vars", "1,,2"}, "a list of variable numbers from 1"},
        {{"plot", pathway, "--vars", "5", "-o", "x.svg"}, "pathway.out: --vars: the file has 4 variables (1..4)"},
        {{"plot", kData + "fit.report", "--vars", "1", "-o", "x.svg"}, "--vars does not apply to a gasearch report"},
        {{"plot", kData + "fit.report", "--bars"}, "qv_results: unknown option '--bars'"},
        {{"csv", pathway, kData + "survey.out"}, "several files can be given only as rsearch list files of one run"},
        {{"ga-restart"}, "qv_results: ga-restart needs a REPORT"},
        {{"ga-restart", kData + "fit.report", "--generation", "x"}, "--generation needs a generation number"},
        {{"ga-restart", kData + "fit.report", kData + "fit.report"}, "ga-restart takes one report file"},
    };
    for (const Usage &c : cases) {
        const Outcome r = tool(c.args);
        SCOPED_TRACE(r.err);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "x.svg"));
    }
    const Outcome no_gnuplot = tool({"plot", pathway, "-o", "x.svg"}, "PATH=/nonexistent");
    EXPECT_EQ(no_gnuplot.status, 1);
    EXPECT_EQ(no_gnuplot.err, "gnuplot is not installed (Debian package gnuplot-nox): cannot draw x.svg\n");
    EXPECT_FALSE(fs::exists(dir / "x.svg"));
    const Outcome not_report = tool({"ga-restart", pathway});
    EXPECT_EQ(not_report.status, 1);
    EXPECT_EQ(not_report.err, pathway + ": a simulator result file, not a gasearch report: nothing to restart from\n");
}

// A run's report turned into initial individuals: gasearch -s accepts the file, fills every island
// from it, and its generation 0 is at least as good as the generation the file was taken from.
TEST_F(ResultsTool, AGasearchRunRestartsFromItsReport) {
    const std::string model = std::string(QV_SOURCE_DIR) + "/models/fitting/fitting.in";
    const std::string ga = read_file(kData + "small.ga");   // 5 generations, 3 islands of 8
    write("ga.txt", ga);
    write("ga1.txt", std::string(ga).replace(ga.find(";5;"), 3, ";1;"));
    const Outcome first = mpi("gasearch_fitting", {"-I", model, "-p", "ga.txt", "-f", "report.csv", "-S", "7"});
    ASSERT_EQ(first.status, 0) << first.out;
    const std::vector<std::vector<double>> rows = ga_rows(read_file(dir / "report.csv"));
    ASSERT_EQ(rows.size(), 5u * 24u);

    for (int generation : {-1, 2}) {
        SCOPED_TRACE(generation);
        std::vector<std::string> args{"ga-restart", "report.csv"};
        if (generation >= 0) args.insert(args.end(), {"--generation", std::to_string(generation)});
        const Outcome restart = tool(args);
        ASSERT_EQ(restart.status, 0) << restart.err;
        const int source = generation < 0 ? 4 : generation;
        EXPECT_EQ(restart.err, "report.csv: generation " + std::to_string(source) + ", 24 individuals on 3 islands\n");
        // The file: three blocks of eight records, the source generation's individuals in order.
        const std::vector<std::string> init = lines(restart.out);
        ASSERT_EQ(init.size(), 26u);
        EXPECT_EQ(init[8], "**");
        EXPECT_EQ(init[17], "**");
        double source_best = -INFINITY;
        size_t row = static_cast<size_t>(source) * 24;
        for (const std::string &line : init) {
            if (line == "**") continue;
            const std::vector<double> v = numbers(line.substr(line.find(',') + 1));
            ASSERT_EQ(v.size(), 4u) << line;
            for (size_t k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(v[k], rows[row][3 + k]) << line;
            source_best = std::max(source_best, v[0]);
            ++row;
        }
        write("init.txt", restart.out);
        const Outcome again = mpi("gasearch_fitting", {"-I", model, "-p", "ga1.txt", "-s", "init.txt", "-S", "8"});
        ASSERT_EQ(again.status, 0) << again.out;
        EXPECT_NE(again.out.find("Island[0], 8, 8, 0, 0\nIsland[1], 8, 8, 0, 0\nIsland[2], 8, 8, 0, 0\n"),
                  std::string::npos)
            << again.out;
        double restarted_best = NAN;
        ASSERT_EQ(std::sscanf(again.out.c_str() + again.out.find("generation[0]"), "generation[0], Obtain: 0, Fitness: %le",
                              &restarted_best),
                  1);
        // The report rounds values to six decimals and the fitness to seven digits.
        EXPECT_GE(restarted_best, source_best - 1e-4 * std::fabs(source_best) - 1e-9);
    }

    // A report cut while a generation was written restarts from the last complete generation.
    const std::string report = read_file(dir / "report.csv");
    write("cut.csv", report.substr(0, report.find("[1][3]", report.find("generation,4"))));
    const Outcome cut = tool({"ga-restart", "cut.csv"});
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(cut.err, "cut.csv: generation 3, 24 individuals on 3 islands; generation 4 is cut off; it is left out\n");
    const Outcome missing = tool({"ga-restart", "report.csv", "--generation", "9"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "report.csv: no complete generation 9 (the report holds 0 to 4)\n");
    EXPECT_EQ(missing.out, "");
}

}  // namespace
