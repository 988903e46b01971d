// qv_results: the programs' result files as pictures, as CSV tables, and gasearch reports as files of
// initial individuals.
//   qv_results plot FILE... [-o OUT.svg|OUT.png] [--vars 1,3] [--log-y]
//   qv_results csv FILE...
//   qv_results ga-restart REPORT [--generation G]
// Exit status: 0 done, 1 a file refused or a failure (one message on standard error), 2 bad usage.
#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/results/csv_writer.h"
#include "quorvant/results/file_kind.h"
#include "quorvant/results/ga_restart.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/plot_writer.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/recognise.h"
#include "quorvant/results/tool_status.h"

namespace {

using namespace qv::results;

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

constexpr const char *kUsage =
    "usage: qv_results plot FILE... [-o OUT.svg|OUT.png] [--vars 1,3] [--log-y]\n"
    "       qv_results csv FILE...\n"
    "       qv_results ga-restart REPORT [--generation G]\n"
    "FILE: a simulator result file, a gasearch report (-f) or rsearch list files (several ranks).\n";

int usage(const std::string &message) {
    std::fprintf(stderr, "qv_results: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int finish(const ToolStatus &st) {
    if (!st.message.empty()) std::fprintf(st.exit_code == 0 ? stdout : stderr, "%s\n", st.message.c_str());
    return st.exit_code;
}

bool parse_count(const std::string &s, int &value) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(s);
    return true;
}

// "1,3" -> {1, 3}
bool parse_vars(const std::string &s, std::vector<int> &vars) {
    size_t start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        if (comma == std::string::npos) comma = s.size();
        int v = 0;
        if (!parse_count(s.substr(start, comma - start), v) || v < 1) return false;
        vars.push_back(v);
        start = comma + 1;
    }
    return !vars.empty();
}

// The kind of every file; one message and status when they cannot be used together.
int kind_of(const std::vector<std::string> &files, const char *what, FileKind &kind) {
    for (size_t i = 0; i < files.size(); ++i) {
        ReadStatus st;
        const FileKind k = recognise(files[i], st);
        if (!st.ok) return finish({kExitRefused, describe(files[i], st)});
        std::string why;
        switch (k) {
        case FileKind::Empty: why = "an empty file: nothing to "; break;
        case FileKind::RestartFile:
            why = "a simulator restart file (initVal.txt): its final state is for the next run's Y_START lines, "
                  "nothing to ";
            break;
        case FileKind::Unknown: why = "not a result file of simulator, gasearch or rsearch: nothing to "; break;
        default: break;
        }
        if (!why.empty()) return finish({kExitRefused, files[i] + ": " + why + what});
        if (i > 0 && (k != FileKind::RsearchList || kind != FileKind::RsearchList))
            return usage("several files can be given only as rsearch list files of one run");
        kind = k;
    }
    return 0;
}

int plot_command(const std::vector<std::string> &args) {
    std::vector<std::string> files;
    PlotOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "-o" || a == "--vars") {
            if (i + 1 >= args.size()) return usage(a + " needs a value");
            const std::string &v = args[++i];
            if (a == "-o") {
                const bool svg = v.size() > 4 && v.compare(v.size() - 4, 4, ".svg") == 0;
                const bool png = v.size() > 4 && v.compare(v.size() - 4, 4, ".png") == 0;
                if (!svg && !png) return usage("-o: the picture's name must end in .svg or .png: '" + v + "'");
                options.output = v;
            } else if (!parse_vars(v, options.vars)) {
                return usage("--vars: a list of variable numbers from 1, such as 1,3: '" + v + "'");
            }
        } else if (a == "--log-y") {
            options.log_y = true;
        } else if (!a.empty() && a[0] == '-') {
            return usage("unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage("plot needs a FILE");
    FileKind kind = FileKind::Unknown;
    if (const int st = kind_of(files, "plot", kind); st != 0) return st;
    if (options.output.empty()) options.output = files.front() + ".svg";
    return finish(write_plot(kind, files, options));
}

int csv_command(const std::vector<std::string> &args) {
    for (const std::string &a : args)
        if (!a.empty() && a[0] == '-') return usage("unknown option '" + a + "'");
    if (args.empty()) return usage("csv needs a FILE");
    FileKind kind = FileKind::Unknown;
    if (const int st = kind_of(args, "convert", kind); st != 0) return st;
    return finish(write_csv(kind, args, stdout));
}

int restart_command(const std::vector<std::string> &args) {
    std::string report;
    int generation = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--generation") {
            if (i + 1 >= args.size() || !parse_count(args[i + 1], generation))
                return usage("--generation needs a generation number (0, 1, ...)");
            ++i;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usage("unknown option '" + args[i] + "'");
        } else if (report.empty()) {
            report = args[i];
        } else {
            return usage("ga-restart takes one report file");
        }
    }
    if (report.empty()) return usage("ga-restart needs a REPORT");
    FileKind kind = FileKind::Unknown;
    if (const int st = kind_of({report}, "restart from", kind); st != 0) return st;
    if (kind != FileKind::GaReport)
        return finish({kExitRefused, report + ": " + kind_name(kind) + ", not a gasearch report: nothing to restart from"});
    const ToolStatus st = write_ga_restart(report, generation, stdout);
    // The individuals go to standard output; the summary line to standard error.
    if (!st.message.empty()) std::fprintf(stderr, "%s\n", st.message.c_str());
    return st.exit_code;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usage("a command is needed");
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "plot") return plot_command(args);
    if (command == "csv") return csv_command(args);
    if (command == "ga-restart") return restart_command(args);
    return usage("unknown command '" + command + "'");
}
