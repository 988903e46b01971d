// petab: PEtab problems for the programs.
//
//   petab import PROBLEM.yaml OUTDIR [--force]
//   petab evaluate PROBLEM.yaml [--parameters TSV] [--simulations OUT.tsv] [--work DIR] [--gradient]
//   petab fit PROBLEM.yaml OUTDIR [-n PROCESSES] [-S SEED] [--time-limit SECONDS] [--refine EVALUATIONS]
//             [--starts K] [--target LLH] [--resume]
//   petab suite [CASES_DIR] [-j N] [--min-passed K]
//
// import writes the model source, the model input file and a GA parameter file for the problem and
// prints the line that builds the programs for it. evaluate prints the objective at the nominal
// values of the problem's parameter table (or of the table given): "llh: ", "chi2: " and, where the
// problem has objective priors, "log prior: ", at full precision. fit runs gasearch on the problem,
// refines its best (and K more starts) locally and writes OUTDIR/parameters.tsv ("best llh: ").
// suite runs the PEtab test suite's cases of a directory. Exit status 0; 1 when the problem is
// refused or fails; 2 bad usage.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "petab_config.h"
#include "petab_suite.h"
#include "problem_evaluation.h"
#include "problem_fit.h"

#include "quorvant/petab_import/import_problem.h"

namespace {

constexpr char kUsage[] =
    "usage: petab import PROBLEM.yaml OUTDIR [--force]\n"
    "       petab evaluate PROBLEM.yaml [--parameters TSV] [--simulations OUT.tsv] [--work DIR] [--gradient]\n"
    "       petab fit PROBLEM.yaml OUTDIR [-n PROCESSES] [-S SEED] [--time-limit SECONDS] [--refine EVALUATIONS] [--starts K]\n"
    "                 [--target LLH] [--resume]\n"
    "       petab suite [CASES_DIR] [-j N] [--min-passed K]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int fail(const std::string &msg) {
    std::fprintf(stderr, "petab: %s\n", msg.c_str());
    return 1;
}

int cmd_import(const std::vector<std::string> &args) {
    std::vector<std::string> pos;
    bool force = false;
    for (const auto &a : args) {
        if (a == "--force") force = true;
        else if (a.rfind("-", 0) == 0) return usage();
        else pos.push_back(a);
    }
    if (pos.size() != 2) return usage();
    qv::petab_import::ImportSummary s;
    if (std::string msg = qv::petab_import::import_problem(pos[0], pos[1], force ? qv::petab_import::Edited::Replace : qv::petab_import::Edited::Keep, {}, s); !msg.empty()) return fail(msg);
    for (const auto &n : s.notes) std::printf("note: %s\n", n.c_str());
    std::printf("imported: %d state variables, %d estimated parameters, %d experiments, %d measurements\n", s.states,
                s.estimated, s.experiments, s.measurements);
    std::printf("build: cmake -S %s -B %s/build -DCMAKE_BUILD_TYPE=Release -DQUORVANT_MODEL=%s/model.cpp && "
                "cmake --build %s/build --target simulator gasearch rsearch\n",
                qv::petab_tool::config::kSourceDir, pos[1].c_str(), pos[1].c_str(), pos[1].c_str());
    return 0;
}

// The gradient table of evaluate --gradient: each estimated parameter's derivative from the
// sensitivities and by central differences, the largest difference relative to the largest
// derivative, and the cost of a gradient in evaluations.
void print_gradient(const qv::petab_tool::Evaluation &e) {
    std::vector<std::string> ids;
    for (const auto &p : e.problem.parameters)
        if (p.estimate) ids.push_back(p.id);
    std::printf("gradient by the scaled parameters (sensitivities, central differences):\n");
    double big = 0.0, worst = 0.0;
    // A parameter at the edge of its prior's support has no central difference: it is shown, not
    // compared.
    for (size_t j = 0; j < e.gradient.size(); ++j)
        if (std::isfinite(e.fd_gradient[j])) big = std::max({big, std::fabs(e.gradient[j]), std::fabs(e.fd_gradient[j])});
    for (size_t j = 0; j < e.gradient.size(); ++j) {
        std::printf("  %-28s %22.14e %22.14e\n", j < ids.size() ? ids[j].c_str() : "?", e.gradient[j], e.fd_gradient[j]);
        if (std::isfinite(e.fd_gradient[j])) worst = std::max(worst, std::fabs(e.gradient[j] - e.fd_gradient[j]));
    }
    std::printf("largest difference: %.3e of the largest derivative %.6e\n", big > 0 ? worst / big : worst, big);
    std::printf("time: %.6g ms per evaluation, %.6g ms per gradient, ratio %.3g for %zu parameters\n",
                1e3 * e.seconds_evaluation, 1e3 * e.seconds_gradient,
                e.seconds_evaluation > 0 ? e.seconds_gradient / e.seconds_evaluation : 0.0, e.gradient.size());
}

int cmd_evaluate(const std::vector<std::string> &args) {
    std::string yaml, parameters, simulations, work;
    bool gradient = false;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string &a = args[k];
        auto value = [&](std::string &dst) {
            if (k + 1 >= args.size()) return false;
            dst = args[++k];
            return true;
        };
        if (a == "--parameters") {
            if (!value(parameters)) return usage();
        } else if (a == "--simulations") {
            if (!value(simulations)) return usage();
        } else if (a == "--work") {
            if (!value(work)) return usage();
        } else if (a == "--gradient") {
            gradient = true;
        } else if (a.rfind("-", 0) == 0 || !yaml.empty()) {
            return usage();
        } else {
            yaml = a;
        }
    }
    if (yaml.empty()) return usage();
    if (work.empty()) work = qv::petab_tool::default_work_dir(yaml);
    qv::petab_tool::Evaluation e;
    e.want_gradient = gradient;
    if (std::string msg = qv::petab_tool::evaluate_problem(yaml, parameters, work, e); !msg.empty()) return fail(msg);
    if (e.failed > 0) std::fprintf(stderr, "petab: %d experiment(s) failed: %s\n", e.failed, e.failure.c_str());
    std::printf("llh: %s\n", qv::petab_tool::full_precision(e.llh).c_str());
    std::printf("chi2: %s\n", qv::petab_tool::full_precision(e.chi2).c_str());
    bool priors = false;
    for (const auto &p : e.problem.parameters) priors = priors || (p.estimate && p.objective.type != qv::petab::PriorType::None);
    if (priors) std::printf("log prior: %s\n", qv::petab_tool::full_precision(e.log_prior).c_str());
    if (!simulations.empty())
        if (std::string msg = qv::petab_tool::write_simulations(e, simulations); !msg.empty()) return fail(msg);
    if (gradient) print_gradient(e);
    return e.failed > 0 ? 1 : 0;
}

bool parse_positive(const std::string &s, double lo, double hi, double &out) {
    char *end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || !(v >= lo && v <= hi)) return false;
    out = v;
    return true;
}

int cmd_fit(const std::vector<std::string> &args) {
    qv::petab_tool::FitRequest rq;
    std::vector<std::string> pos;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string &a = args[k];
        const bool has_value = k + 1 < args.size();
        double v = 0.0;
        if (a == "-n") {
            if (!has_value || !parse_positive(args[++k], 1, 4096, v) || v != std::floor(v)) return usage();
            rq.processes = static_cast<int>(v);
        } else if (a == "-S") {
            if (!has_value || !parse_positive(args[++k], 0, 4294967295.0, v) || v != std::floor(v)) return usage();
            rq.seed = args[k];
        } else if (a == "--refine") {
            if (!has_value || !parse_positive(args[++k], 0, 1e9, v) || v != std::floor(v)) return usage();
            rq.refine_evaluations = static_cast<int>(v);
        } else if (a == "--starts") {
            if (!has_value || !parse_positive(args[++k], 0, 1e6, v) || v != std::floor(v)) return usage();
            rq.starts = static_cast<int>(v);
        } else if (a == "--time-limit") {
            if (!has_value || !parse_positive(args[++k], 1e-3, 1e9, v)) return usage();
            rq.time_limit = v;
        } else if (a == "--resume") {
            rq.resume = true;
        } else if (a == "--target") {
            if (!has_value || !parse_positive(args[++k], -1e300, 1e300, v)) return usage();
            rq.target = v;
            rq.has_target = true;
        } else if (a.rfind("-", 0) == 0) {
            return usage();
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 2) return usage();
    rq.yaml = pos[0];
    rq.outdir = pos[1];
    qv::petab_tool::FitResult r;
    if (std::string msg = qv::petab_tool::fit_problem(rq, r); !msg.empty()) return fail(msg);
    for (const auto &n : r.notes) std::printf("note: %s\n", n.c_str());
    if (r.resumed) std::printf("note: the search went on from its state after generation %d\n", r.resumed_after);
    else if (rq.resume) std::printf("note: no state to go on from: the search started afresh\n");
    if (r.stopped) std::printf("note: the time limit ended the search\n");
    if (!r.refinement.empty()) std::printf("refinement: %s\n", r.refinement.c_str());
    std::printf("parameters: %s\n", r.parameters.c_str());
    std::printf("best llh: %s\n", qv::petab_tool::full_precision(r.best_llh).c_str());
    if (rq.has_target)
        std::printf("target %s: %s in %.3f s (search and refinement %.3f s)\n", qv::petab_tool::full_precision(rq.target).c_str(),
                    r.reached ? "reached" : "not reached", r.seconds, r.search_seconds);
    if (r.has_prior) std::printf("log prior: %s\n", qv::petab_tool::full_precision(r.log_prior).c_str());
    return 0;
}

int cmd_suite(const std::vector<std::string> &args) {
    // The suite beside the repository, or the copy of its version 1 cases delivered with the tests.
    std::string dir = std::string(qv::petab_tool::config::kSourceDir) + "/../shared/petab/test-suite/v1.0.0/sbml";
    if (std::error_code ec; !std::filesystem::is_directory(dir, ec))
        dir = std::string(qv::petab_tool::config::kSourceDir) + "/tests/petab_import/cases/v1";
    int jobs = 1;
    long min_passed = -1;
    bool dir_given = false;
    for (size_t k = 0; k < args.size(); ++k) {
        if (args[k] == "--min-passed") {
            double v = 0.0;
            if (k + 1 >= args.size() || !parse_positive(args[++k], 0, 1e6, v) || v != std::floor(v)) return usage();
            min_passed = static_cast<long>(v);
        } else if (args[k] == "-j") {
            if (k + 1 >= args.size()) return usage();
            char *end = nullptr;
            const long j = std::strtol(args[++k].c_str(), &end, 10);
            if (*end != '\0' || j < 1 || j > 64) return usage();
            jobs = static_cast<int>(j);
        } else if (args[k].rfind("-", 0) == 0 || dir_given) {
            return usage();
        } else {
            dir = args[k];
            dir_given = true;
        }
    }
    return qv::petab_tool::run_suite(dir, jobs, min_passed);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (cmd == "import") return cmd_import(args);
    if (cmd == "evaluate") return cmd_evaluate(args);
    if (cmd == "fit") return cmd_fit(args);
    if (cmd == "suite") return cmd_suite(args);
    return usage();
}
