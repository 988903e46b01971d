// The fit: OUTDIR holds the imported problem (model.cpp, model.in, problem.ga), the gasearch built
// for it, the search's log (fit.log) and the result (parameters.tsv).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "petab_config.h"
#include "problem_evaluation.h"
#include "problem_fit.h"
#include "subprocess.h"

#include "quorvant/petab/problem.h"
#include "quorvant/petab/tsv_table.h"
#include "quorvant/petab_import/import_problem.h"

namespace qv::petab_tool {

namespace {

namespace fs = std::filesystem;
using qv::sbml_case::ProcessResult;
using qv::sbml_case::readText;

constexpr double kBuildSeconds = 900.0;
constexpr double kNoLimitSeconds = 1.0e9;
constexpr double kGraceSeconds = 10.0;   // after SIGTERM at the time limit, before SIGKILL

std::string last_line_with(const std::string &text, const std::string &what) {
    std::istringstream in(text);
    std::string line, found;
    while (std::getline(in, line))
        if (line.find(what) != std::string::npos) found = line;
    return found;
}

std::string build_gasearch(const std::string &dir) {
    const std::string compiler = *config::kMpiCompiler ? config::kMpiCompiler : "mpicxx";
    std::vector<std::string> cmd{compiler};
    for (const char *const *f = config::kCompileFlags; *f; ++f) cmd.emplace_back(*f);
    cmd.push_back(std::string("-I") + config::kIncludeDir);
    cmd.push_back(dir + "/model.cpp");
    cmd.push_back("-o");
    cmd.push_back(dir + "/gasearch.tmp");
    for (const char *const *f = config::kLinkFlags; *f; ++f) cmd.emplace_back(*f);
    cmd.emplace_back("-Wl,--start-group");
    for (const char *const *a = config::kFitArchives; *a; ++a) cmd.emplace_back(*a);
    cmd.emplace_back("-Wl,--end-group");
    cmd.emplace_back("-lm");
    const std::string log = dir + "/build.log";
    const ProcessResult r = qv::sbml_case::runProcess(cmd, log, kBuildSeconds);
    if (!r.ok()) return "building gasearch for the problem failed: " + last_line_with(readText(log), "error");
    std::error_code ec;
    fs::rename(dir + "/gasearch.tmp", dir + "/gasearch", ec);
    if (ec) return dir + "/gasearch: cannot write the program";
    return "";
}

// The mpiexec command: QUORVANT_MPIEXEC (words separated by blanks) when set, else this build's.
std::vector<std::string> mpiexec_command() {
    std::vector<std::string> cmd;
    if (const char *env = std::getenv("QUORVANT_MPIEXEC"); env != nullptr && *env != '\0') {
        std::istringstream in(env);
        for (std::string w; in >> w;) cmd.push_back(w);
    }
    if (cmd.empty()) cmd.push_back(*config::kMpiexec ? config::kMpiexec : "mpiexec");
    if (cmd[0].find('/') == std::string::npos)
        for (const char *d : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
            if (fs::exists(std::string(d) + cmd[0])) {
                cmd[0] = std::string(d) + cmd[0];
                break;
            }
    return cmd;
}

// The genes of the last progress line: "generation[g], Obtain: g, Fitness: f, Gene: (x0, x1, ...)".
std::string best_genes(const std::string &log, size_t count, std::vector<double> &x) {
    const std::string line = last_line_with(log, "Gene: (");
    if (line.empty()) return "the search logged no individual (see fit.log)";
    const size_t open = line.find("Gene: (") + 7, close = line.rfind(')');
    if (close == std::string::npos || close < open) return "cannot read the best individual in fit.log";
    std::string inner = line.substr(open, close - open);
    std::replace(inner.begin(), inner.end(), ',', ' ');
    std::istringstream in(inner);
    x.clear();
    for (double v; in >> v;) x.push_back(v);
    if (x.size() != count)
        return "fit.log names " + std::to_string(x.size()) + " values for " + std::to_string(count) + " estimated parameters";
    return "";
}

// The GA file with its target (field 3 of the GATYPE line) replaced: OUTDIR/fit.ga.
std::string ga_file_with_target(const std::string &dir, double target, std::string &path) {
    std::istringstream in(readText(dir + "/problem.ga"));
    std::string text, line;
    bool found = false;
    while (std::getline(in, line)) {
        if (line.rfind("GATYPE;", 0) == 0) {
            std::vector<std::string> fields;
            std::istringstream f(line);
            for (std::string field; std::getline(f, field, ';');) fields.push_back(field);
            if (fields.size() < 4) return dir + "/problem.ga: the GATYPE line has no target field";
            fields[3] = full_precision(target);
            line.clear();
            for (const auto &field : fields) line += field + ";";
            found = true;
        }
        text += line + "\n";
    }
    if (!found) return dir + "/problem.ga: no GATYPE line";
    path = dir + "/fit.ga";
    return write_atomically(path, text);
}

// The fitness of the last progress line ("..., Fitness: f, Gene: (...)").
double best_fitness(const std::string &log) {
    const std::string line = last_line_with(log, "Gene: (");
    const size_t at = line.find("Fitness: ");
    return at == std::string::npos ? -HUGE_VAL : std::strtod(line.c_str() + at + 9, nullptr);
}

// The problem's parameter table with the estimates as nominal values.
std::string write_parameters(const qv::petab::Problem &problem, const std::vector<double> &x, const std::string &path) {
    std::string text;
    bool header = false;
    for (const auto &file : problem.files.parameters) {
        qv::petab::TsvTable t;
        if (std::string msg = qv::petab::read_tsv(file, t); !msg.empty()) return msg;
        const int id_col = t.column("parameterId"), nominal_col = t.column("nominalValue");
        if (id_col < 0 || nominal_col < 0) return file + ": no parameterId or nominalValue column";
        if (!header) {
            for (size_t c = 0; c < t.columns.size(); ++c) {
                if (c) text += "\t";
                text += t.columns[c];
            }
            text += "\n";
            header = true;
        }
        for (const auto &row : t.rows) {
            const int p = problem.find_parameter(row[static_cast<size_t>(id_col)]);
            for (size_t c = 0; c < row.size(); ++c) {
                if (c) text += "\t";
                if (static_cast<int>(c) == nominal_col && p >= 0 && problem.parameters[static_cast<size_t>(p)].estimate) {
                    const auto &pp = problem.parameters[static_cast<size_t>(p)];
                    size_t theta = 0;
                    for (int q = 0; q < p; ++q) theta += problem.parameters[static_cast<size_t>(q)].estimate ? 1 : 0;
                    const double v = std::clamp(qv::petab::from_scale(pp.scale, x[theta]), pp.lower, pp.upper);
                    text += full_precision(v);
                } else {
                    text += row[c];
                }
            }
            text += "\n";
        }
    }
    return write_atomically(path, text);
}

}  // namespace

std::string fit_problem(const FitRequest &rq, FitResult &out) {
    const auto begin = std::chrono::steady_clock::now();
    std::error_code ec;
    fs::create_directories(rq.outdir, ec);
    const std::string dir = fs::absolute(rq.outdir, ec).lexically_normal().string();
    qv::petab::Problem problem;
    if (std::string msg = qv::petab::read_problem(rq.yaml, problem); !msg.empty()) return msg;
    size_t estimated = 0;
    for (const auto &p : problem.parameters) {
        estimated += p.estimate ? 1 : 0;
        out.has_prior = out.has_prior || (p.estimate && p.objective.type != qv::petab::PriorType::None);
    }
    if (estimated == 0) return rq.yaml + ": the problem estimates no parameter";

    // 1. Import (a problem.ga edited for this fit is kept) and build.
    const std::string before = readText(dir + "/model.cpp");
    qv::petab_import::ImportSummary summary;
    if (std::string msg = qv::petab_import::import_problem(rq.yaml, dir, qv::petab_import::Edited::KeepGaFile, {}, summary);
        !msg.empty())
        return msg;
    out.notes = summary.notes;
    if (before != readText(dir + "/model.cpp") || !newer_than_archives(dir + "/gasearch", config::kFitArchives))
        if (std::string msg = build_gasearch(dir); !msg.empty()) return msg;

    // The program that refines and checks the search's best, made before the search's clock starts.
    std::vector<std::string> ignored;
    if (std::string msg = prepare_problem(rq.yaml, dir + "/evaluation", ignored); !msg.empty()) return msg;

    // 2. The search.
    const auto search_begin = std::chrono::steady_clock::now();
    std::string ga_file = dir + "/problem.ga";
    if (rq.has_target)
        if (std::string msg = ga_file_with_target(dir, rq.target, ga_file); !msg.empty()) return msg;
    std::vector<std::string> cmd = mpiexec_command();
    cmd.insert(cmd.end(), {"-n", std::to_string(rq.processes), dir + "/gasearch", "-I", dir + "/model.in", "-p", ga_file});
    if (!rq.seed.empty()) cmd.insert(cmd.end(), {"-S", rq.seed});
    // Going on: from the last state the search wrote, its log so far kept beside the new one. A
    // fresh search first removes an earlier run's state, which --resume would otherwise go on from.
    if (rq.resume && fs::exists(dir + "/fit.state")) {
        cmd.insert(cmd.end(), {"-R", "fit.state"});
        fs::rename(dir + "/fit.log", dir + "/fit.log.before-resume", ec);
        out.resumed = true;
    } else {
        fs::remove(dir + "/fit.state", ec);
    }
    const ProcessResult r = qv::sbml_case::runProcessIn(cmd, dir + "/fit.log", rq.time_limit > 0 ? rq.time_limit : kNoLimitSeconds,
                                                        dir, kGraceSeconds);
    out.stopped = r.timedOut;
    if (!r.started) return r.error;
    const std::string log = readText(dir + "/fit.log");
    if (out.resumed) {
        const std::string line = last_line_with(log, "Resumed from ");
        const size_t at = line.find("after generation ");
        if (at != std::string::npos) out.resumed_after = std::atoi(line.c_str() + at + 17);
    }
    if (!r.timedOut && !r.ok()) return "gasearch failed: " + last_line_with(log, "rror") + " (see " + dir + "/fit.log)";

    // 3. The best individual refined by the local search.
    std::vector<double> x;
    if (std::string msg = best_genes(log, estimated, x); !msg.empty()) return msg;
    Evaluation refined;
    refined.problem = problem;
    refined.x = x;
    const bool search_reached = rq.has_target && best_fitness(log) > rq.target;
    if (rq.refine_evaluations > 0 && !search_reached) {
        const unsigned long long seed = rq.seed.empty() ? 0ull : std::strtoull(rq.seed.c_str(), nullptr, 10);
        // Within the time limit: what the search left of it, or at least a tenth of it for the
        // refinement of the search's best. No iteration of any start begins after that.
        double seconds = 0.0;
        if (rq.time_limit > 0) {
            const double used = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            seconds = std::max(rq.time_limit - used, 0.1 * rq.time_limit);
        }
        if (rq.has_target) refined.target = rq.target, refined.has_target = true;
        if (std::string msg = run_evaluation(dir + "/evaluation", rq.refine_evaluations, refined, rq.starts, seed, seconds,
                                             rq.processes);
            !msg.empty())
            return msg;
        if (refined.refined.size() == x.size()) x = refined.refined;
        out.refinement = refined.refinement;
    }

    out.search_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - search_begin).count();

    // 4. Its table, evaluated as petab evaluate evaluates it.
    out.parameters = dir + "/parameters.tsv";
    if (std::string msg = write_parameters(problem, x, out.parameters); !msg.empty()) return msg;
    Evaluation e;
    if (std::string msg = evaluate_problem(rq.yaml, out.parameters, dir + "/evaluation", e); !msg.empty()) return msg;
    out.best_llh = e.llh;
    out.log_prior = e.log_prior;
    out.reached = rq.has_target && e.llh + e.log_prior > rq.target;
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return "";
}

}  // namespace qv::petab_tool
