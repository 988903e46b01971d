// Import, build and run of one problem's evaluation program.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "petab_config.h"
#include "problem_evaluation.h"
#include "subprocess.h"

#include "quorvant/petab/problem_files.h"
#include "quorvant/petab/tsv_table.h"
#include "quorvant/petab_import/import_problem.h"

namespace qv::petab_tool {

namespace {

namespace fs = std::filesystem;
using qv::sbml_case::ProcessResult;
using qv::sbml_case::readText;
using qv::sbml_case::runProcess;

constexpr double kBuildSeconds = 900.0;
constexpr double kRunSeconds = 3600.0;

std::uint64_t fnv1a(const std::string &s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// The last line of a process log that says what went wrong, else the last line.
std::string reason_in(const std::string &log) {
    std::istringstream in(log);
    std::string line, last, found;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        last = line;
        if (found.empty() && line.find("error") != std::string::npos) found = line;
    }
    return found.empty() ? last : found;
}

std::string build_program(const std::string &dir) {
    std::vector<std::string> cmd{config::kCompiler};
    for (const char *const *f = config::kCompileFlags; *f; ++f) cmd.emplace_back(*f);
    cmd.push_back(std::string("-I") + config::kIncludeDir);
    cmd.push_back(dir + "/model.cpp");
    cmd.push_back("-o");
    cmd.push_back(dir + "/evaluate.tmp");
    for (const char *const *f = config::kLinkFlags; *f; ++f) cmd.emplace_back(*f);
    for (const char *const *a = config::kKitArchives; *a; ++a) cmd.emplace_back(*a);
    cmd.emplace_back("-lm");
    const std::string log = dir + "/build.log";
    const ProcessResult r = runProcess(cmd, log, kBuildSeconds);
    if (!r.ok()) return "compiling the generated model failed: " + reason_in(readText(log));
    std::error_code ec;
    fs::rename(dir + "/evaluate.tmp", dir + "/evaluate", ec);
    if (ec) return dir + "/evaluate: cannot write the program";
    return "";
}

}  // namespace

std::string full_precision(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string write_atomically(const std::string &path, const std::string &text) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::trunc);
        f << text;
        if (!f) {
            std::error_code ec;
            fs::remove(tmp, ec);
            return path + ": cannot write the file";
        }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) return path + ": cannot write the file";
    return "";
}

bool newer_than_archives(const std::string &program, const char *const *archives) {
    std::error_code ec;
    const auto built = fs::last_write_time(program, ec);
    if (ec) return false;
    for (const char *const *a = archives; *a; ++a) {
        const auto t = fs::last_write_time(*a, ec);
        if (ec || t > built) return false;
    }
    return true;
}

std::string default_work_dir(const std::string &yaml) {
    std::error_code ec;
    const std::string abs = fs::absolute(yaml, ec).lexically_normal().string();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(abs)));
    return std::string(config::kBinaryDir) + "/petab-work/" + fs::path(yaml).stem().string() + "-" + std::string(hex, 8);
}

std::string prepare_problem(const std::string &yaml, const std::string &dir, std::vector<std::string> &notes) {
    const std::string before = readText(dir + "/model.cpp");
    qv::petab_import::ImportSummary summary;
    if (std::string msg = qv::petab_import::import_problem(yaml, dir, qv::petab_import::Edited::Replace, {}, summary,
                                                              qv::petab_import::Purpose::Evaluation);
        !msg.empty())
        return msg;
    notes = summary.notes;
    std::error_code ec;
    if (before == readText(dir + "/model.cpp") && newer_than_archives(dir + "/evaluate", config::kKitArchives)) return "";
    return build_program(dir);
}

std::string values_from_table(const qv::petab::Problem &problem, const std::string &tsv, std::vector<double> &x) {
    x.clear();
    if (tsv.empty()) {
        for (const auto &p : problem.parameters)
            if (p.estimate) x.push_back(qv::petab::to_scale(p.scale, p.nominal));
        return "";
    }
    qv::petab::TsvTable table;
    if (std::string msg = qv::petab::read_tsv(tsv, table); !msg.empty()) return msg;
    std::vector<qv::petab::ProblemParameter> given;
    if (std::string msg = qv::petab::read_parameter_table({table}, problem.version, given); !msg.empty()) return msg;
    for (const auto &p : problem.parameters) {
        if (!p.estimate) continue;
        auto g = std::find_if(given.begin(), given.end(), [&](const auto &q) { return q.id == p.id; });
        if (g == given.end()) return tsv + ": no row for the estimated parameter '" + p.id + "'";
        x.push_back(qv::petab::to_scale(p.scale, g->nominal));
    }
    return "";
}

std::string evaluate_problem(const std::string &yaml, const std::string &parameters_tsv, const std::string &dir,
                             Evaluation &out) {
    if (std::string msg = qv::petab::read_problem(yaml, out.problem); !msg.empty()) return msg;
    if (std::string msg = values_from_table(out.problem, parameters_tsv, out.x); !msg.empty()) return msg;
    if (std::string msg = prepare_problem(yaml, dir, out.notes); !msg.empty()) return msg;
    return run_evaluation(dir, 0, out);
}

namespace {

// What the evaluation program wrote (see evaluation_driver.cpp).
std::string read_result(const std::string &path, Evaluation &out) {
    std::istringstream in(readText(path));
    std::string line;
    bool table = false, values_block = false;
    out.simulated.clear();
    out.sigma.clear();
    out.refined.clear();
    out.gradient.clear();
    out.fd_gradient.clear();
    while (std::getline(in, line)) {
        if (values_block && line != "simulations:") {
            out.refined.push_back(std::strtod(line.c_str(), nullptr));
        } else if (table) {
            double v = 0.0, s = 0.0;
            if (std::sscanf(line.c_str(), "%lf\t%lf", &v, &s) != 2) return path + ": bad line '" + line + "'";
            out.simulated.push_back(v);
            out.sigma.push_back(s);
        } else if (line.rfind("llh: ", 0) == 0) out.llh = std::strtod(line.c_str() + 5, nullptr);
        else if (line.rfind("chi2: ", 0) == 0) out.chi2 = std::strtod(line.c_str() + 6, nullptr);
        else if (line.rfind("log prior: ", 0) == 0) out.log_prior = std::strtod(line.c_str() + 11, nullptr);
        else if (line.rfind("failed: ", 0) == 0) out.failed = std::atoi(line.c_str() + 8);
        else if (line.rfind("failure: ", 0) == 0) out.failure = line.substr(9);
        else if (line.rfind("refinement: ", 0) == 0) out.refinement = line.substr(12);
        else if (line.rfind("refined: ", 0) == 0)
            std::sscanf(line.c_str() + 9, "%ld %ld %d %d", &out.refine_evaluations, &out.refine_iterations,
                        &out.refine_starts, &out.refine_best_start);
        else if (line.rfind("gradient: ", 0) == 0) {
            int j = 0;
            double a = 0.0, b = 0.0;
            if (std::sscanf(line.c_str() + 10, "%d %lf %lf", &j, &a, &b) != 3) return path + ": bad line '" + line + "'";
            out.gradient.push_back(a);
            out.fd_gradient.push_back(b);
        } else if (line.rfind("timing: ", 0) == 0)
            std::sscanf(line.c_str() + 8, "%lf %lf", &out.seconds_evaluation, &out.seconds_gradient);
        else if (line == "values:") values_block = true;
        else if (line == "simulations:") table = true, values_block = false;
    }
    if (out.simulated.size() != out.problem.measurements.size())
        return path + ": " + std::to_string(out.simulated.size()) + " simulated values for " +
               std::to_string(out.problem.measurements.size()) + " measurements";
    return "";
}

}  // namespace

std::string run_evaluation(const std::string &dir, int refine_evaluations, Evaluation &out, int starts,
                           unsigned long long seed, double seconds, int processes) {
    std::string values;
    for (double v : out.x) values += full_precision(v) + "\n";
    if (std::string msg = write_atomically(dir + "/values.txt", values); !msg.empty()) return msg;
    const int runs = refine_evaluations > 0 && starts > 0 ? std::max(1, std::min(processes, starts + 1)) : 1;
    std::vector<Evaluation> results(static_cast<size_t>(runs), out);
    std::vector<std::string> errors(static_cast<size_t>(runs));
    // One program per process, each with its share of the starts.
    auto run = [&](int r) {
        const std::string tag = runs > 1 ? "." + std::to_string(r) : "";
        std::vector<std::string> cmd{dir + "/evaluate", dir + "/values.txt", dir + "/result" + tag + ".txt"};
        if (refine_evaluations > 0) cmd.insert(cmd.end(), {"--refine", std::to_string(refine_evaluations)});
        else if (out.want_gradient) cmd.emplace_back("--gradient");
        if (refine_evaluations > 0 && (starts > 0 || seconds > 0)) {
            cmd.insert(cmd.end(), {std::to_string(starts), std::to_string(seed), full_precision(seconds), std::to_string(r),
                                   std::to_string(runs)});
            if (out.has_target) cmd.push_back(full_precision(out.target));
        }
        const std::string log = dir + "/run" + tag + ".log";
        const ProcessResult p = runProcess(cmd, log, kRunSeconds);
        if (!p.ok()) {
            errors[static_cast<size_t>(r)] = "the evaluation failed: " + reason_in(readText(log));
            return;
        }
        errors[static_cast<size_t>(r)] = read_result(dir + "/result" + tag + ".txt", results[static_cast<size_t>(r)]);
    };
    std::vector<std::thread> threads;
    for (int r = 1; r < runs; ++r) threads.emplace_back(run, r);
    run(0);
    for (auto &t : threads) t.join();
    for (const auto &e : errors)
        if (!e.empty()) return e;
    // The best of the runs; of equal ones the earliest start, as one run alone would choose.
    size_t best = 0;
    long evaluations = 0, iterations = 0;
    int started = 0;
    for (size_t r = 0; r < results.size(); ++r) {
        const Evaluation &e = results[r];
        evaluations += e.refine_evaluations;
        iterations += e.refine_iterations;
        started += e.refine_starts;
        const double f = e.llh + e.log_prior, fb = results[best].llh + results[best].log_prior;
        if (r > 0 && e.refine_starts > 0 &&
            (f > fb || (f == fb && e.refine_best_start < results[best].refine_best_start) || (std::isnan(fb) && !std::isnan(f))))
            best = r;
    }
    out = results[best];
    if (runs > 1) {
        out.refine_evaluations = evaluations;
        out.refine_iterations = iterations;
        out.refine_starts = started;
        out.refinement = std::to_string(evaluations) + " evaluations, " + std::to_string(iterations) + " iterations, " +
                         std::to_string(started) + " starts on " + std::to_string(runs) + " processes, best from " +
                         (out.refine_best_start == 0 ? std::string("the given values")
                                                     : "start " + std::to_string(out.refine_best_start));
    }
    return "";
}

std::string write_simulations(const Evaluation &e, const std::string &path) {
    qv::petab::ProblemFiles files;
    if (std::string msg = qv::petab::read_problem_files(e.problem.path, files); !msg.empty()) return msg;
    std::string text;
    size_t row = 0;
    bool header_written = false;
    for (const auto &file : files.measurements) {
        qv::petab::TsvTable t;
        if (std::string msg = qv::petab::read_tsv(file, t); !msg.empty()) return msg;
        const int col = t.column("measurement");
        if (!header_written) {
            for (size_t c = 0; c < t.columns.size(); ++c) {
                if (c) text += "\t";
                text += static_cast<int>(c) == col ? std::string("simulation") : t.columns[c];
            }
            text += "\n";
            header_written = true;
        }
        for (const auto &r : t.rows) {
            for (size_t c = 0; c < r.size(); ++c) {
                if (c) text += "\t";
                text += static_cast<int>(c) == col ? full_precision(row < e.simulated.size() ? e.simulated[row] : NAN) : r[c];
            }
            text += "\n";
            ++row;
        }
    }
    return write_atomically(path, text);
}

}  // namespace qv::petab_tool
