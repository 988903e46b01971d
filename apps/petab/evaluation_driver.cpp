// The evaluation program of one PEtab problem, linked with its generated model: the objective at
// the scaled parameter values of a file, and every measurement's simulated value.
//
//   <program> VALUES_FILE OUT_FILE [--refine MAX_EVALUATIONS [STARTS SEED [SECONDS [OFFSET STRIDE [TARGET]]]]]
//   <program> VALUES_FILE OUT_FILE --gradient
//
// VALUES_FILE holds the estimated parameters on their parameterScale, one per line, in the order
// of the model's table. With --refine they are first refined by the local search (at most that many
// evaluations per start), and so are STARTS more points drawn uniformly in the box of the scaled
// bounds (a stream seeded with SEED), no new one, and no iteration of any, after SECONDS; the
// best of the refined points is kept. With OFFSET and STRIDE only the starts whose number (0 for
// the given values) is OFFSET modulo STRIDE, so that STRIDE runs share the starts out; with
// TARGET no new start once one has reached it. OUT_FILE gets "llh: ", "chi2: ", "log prior: ",
// "failed: " lines (and "failure: " with what failed first; after a refinement "refinement:
// <evaluations> evaluations, <iterations> iterations, ...", "refined: <evaluations> <iterations>
// <starts> <best start>" and "values:" with one refined value per line), then "simulations:" and
// one line per measurement with its simulated value and its noise parameter, tab-separated. With --gradient the
// file also gets "gradient: <j> <from the sensitivities> <by central differences>" per estimated
// parameter and "timing: <seconds per evaluation> <seconds per gradient>". Exit status 0, or 1
// with a message.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <cstdlib>
#include <string>
#include <vector>

#include "quorvant/petab_sim/local_refinement.h"
#include "quorvant/petab_sim/objective_gradient.h"
#include "quorvant/petab_sim/objective.h"

extern "C" const qv::petab_sim::Problem *qv_petab_problem();

namespace {

std::string full(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// Seconds per call of f, over repeated calls for at least a quarter of a second.
template <class F>
double seconds_per_call(F f) {
    const auto begin = std::chrono::steady_clock::now();
    int calls = 0;
    double elapsed = 0.0;
    do {
        f();
        ++calls;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    } while (elapsed < 0.25 && calls < 100000);
    return elapsed / calls;
}

// The gradient from the sensitivities beside central differences of the objective (steps of 1e-5
// on the scaled values, 1e-4 relative where they are large), and what each costs.
// The comparison runs at tolerances far below the problem's (rtol 1e-11, atol 1e-15), where the
// differences are not swamped by the integration error; the timing at the problem's own.
std::string gradient_report(const qv::petab_sim::Problem &problem, const std::vector<double> &x, qv::petab_sim::Workspace &w) {
    qv::petab_sim::Problem pb = problem;
    pb.rtol = 1e-11;
    pb.atol = 1e-15;
    qv::petab_sim::GradientWork g;
    qv::petab_sim::prepare_gradient(pb, g);
    std::vector<double> grad(x.size(), 0.0);
    qv::petab_sim::evaluate_gradient(pb, x.data(), w, g, grad.data());
    std::string out;
    std::vector<double> xp = x;
    for (size_t j = 0; j < x.size(); ++j) {
        // A smaller step where the objective is not finite a step away (a model on the edge of
        // its domain).
        double fd = 0.0;
        for (double h = 1e-5 * std::max(1.0, std::fabs(x[j])); h > 1e-10; h *= 0.1) {
            xp[j] = x[j] + h;
            const qv::petab_sim::ObjectiveValue up = qv::petab_sim::evaluate(pb, xp.data(), w);
            xp[j] = x[j] - h;
            const qv::petab_sim::ObjectiveValue down = qv::petab_sim::evaluate(pb, xp.data(), w);
            xp[j] = x[j];
            fd = ((up.llh + up.log_prior) - (down.llh + down.log_prior)) / (2.0 * h);
            if (std::isfinite(fd)) break;
        }
        out += "gradient: " + std::to_string(j) + " " + full(grad[j]) + " " + full(fd) + "\n";
    }
    pb = problem;
    const double te = seconds_per_call([&] { qv::petab_sim::evaluate(pb, x.data(), w); });
    const double tg = seconds_per_call([&] { qv::petab_sim::evaluate_gradient(pb, x.data(), w, g, grad.data()); });
    out += "timing: " + full(te) + " " + full(tg) + "\n";
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    const bool gradient = argc == 4 && std::string(argv[3]) == "--gradient";
    if (gradient) argc = 3;
    int refine_evaluations = 0, starts = 0, offset = 0, stride = 1;
    unsigned long long seed = 0;
    if (argc >= 5 && std::string(argv[3]) == "--refine") refine_evaluations = std::atoi(argv[4]);
    double seconds = 0.0;   // 0: no limit
    if (argc >= 7) {
        starts = std::atoi(argv[5]);
        seed = std::strtoull(argv[6], nullptr, 10);
    }
    if (argc >= 8) seconds = std::strtod(argv[7], nullptr);
    if (argc >= 10) {
        offset = std::atoi(argv[8]);
        stride = std::atoi(argv[9]);
    }
    double target = HUGE_VAL;
    if (argc == 11) target = std::strtod(argv[10], nullptr);
    if ((argc != 3 && argc != 5 && argc != 7 && argc != 8 && argc != 10 && argc != 11) || (argc >= 5 && refine_evaluations < 1) ||
        starts < 0 || !(seconds >= 0) || stride < 1 || offset < 0 || offset >= stride) {
        std::fprintf(stderr,
                     "usage: %s VALUES_FILE OUT_FILE [--refine MAX_EVALUATIONS [STARTS SEED [SECONDS [OFFSET STRIDE [TARGET]]]]]\n",
                     argv[0]);
        return 1;
    }
    const auto begin = std::chrono::steady_clock::now();
    const qv::petab_sim::Problem &pb = *qv_petab_problem();
    std::vector<double> x;
    if (FILE *in = std::fopen(argv[1], "r")) {
        double v = 0.0;
        while (std::fscanf(in, "%lf", &v) == 1) x.push_back(v);
        std::fclose(in);
    }
    if (static_cast<int>(x.size()) != pb.n_theta) {
        std::fprintf(stderr, "%s: %zu values for %d estimated parameters\n", argv[1], x.size(), pb.n_theta);
        return 1;
    }
    qv::petab_sim::Workspace w;
    qv::petab_sim::prepare_workspace(pb, w);
    std::string refined;
    if (refine_evaluations > 0) {
        // Start 0 is the given values, starts 1 .. STARTS come from the stream in order; this run
        // takes those whose number is OFFSET modulo STRIDE (every point is drawn all the same, so
        // that the starts are the same however they are shared out).
        qv::petab_sim::RefinementSettings settings;
        settings.max_evaluations = refine_evaluations;
        if (seconds > 0)
            settings.deadline = begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(seconds));
        qv::petab_sim::RefinementResult best;
        bool have = false;
        long evaluations = 0, iterations = 0;
        int best_start = -1, started = 0;
        std::mt19937_64 stream(seed);
        for (int k = 0; k <= starts; ++k) {
            std::vector<double> start = x;
            if (k > 0)
                for (size_t i = 0; i < x.size(); ++i)
                    start[i] = std::uniform_real_distribution<double>(pb.theta[i].lower, pb.theta[i].upper)(stream);
            if (k % stride != offset) continue;
            if (k > 0 && seconds > 0 &&
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() > seconds)
                break;
            if (have && best.objective > target) break;
            ++started;
            const qv::petab_sim::RefinementResult r = qv::petab_sim::refine(pb, start, settings, w);
            evaluations += r.evaluations;
            iterations += r.iterations;
            if (!have || r.objective > best.objective || (!std::isfinite(best.objective) && std::isfinite(r.objective))) {
                best = r;
                best_start = k;
                have = true;
            }
        }
        if (have) x = best.x;
        refined = "refinement: " + std::to_string(evaluations) + " evaluations, " + std::to_string(iterations) +
                  " iterations, " + std::to_string(started) + " starts, best from " +
                  (best_start == 0 ? std::string("the given values") : "start " + std::to_string(best_start)) +
                  "\nrefined: " + std::to_string(evaluations) + " " + std::to_string(iterations) + " " +
                  std::to_string(started) + " " + std::to_string(best_start) + "\nvalues:\n";
        for (double v : x) refined += full(v) + "\n";
    }
    const qv::petab_sim::ObjectiveValue v = qv::petab_sim::evaluate(pb, x.data(), w);
    std::string out = "llh: " + full(v.llh) + "\nchi2: " + full(v.chi2) + "\nlog prior: " + full(v.log_prior) +
                      "\nfailed: " + std::to_string(v.failed) + "\n";
    if (!v.failure.empty()) out += "failure: " + v.failure + "\n";
    out += refined;
    if (gradient) out += gradient_report(pb, x, w);
    out += "simulations:\n";
    for (int d = 0; d < pb.n_data; ++d)
        out += full(w.simulated[static_cast<size_t>(d)]) + "\t" + full(w.sigma[static_cast<size_t>(d)]) + "\n";
    FILE *f = std::fopen(argv[2], "w");
    if (f == nullptr || std::fputs(out.c_str(), f) < 0 || std::fclose(f) != 0) {
        std::fprintf(stderr, "%s: cannot write the file\n", argv[2]);
        return 1;
    }
    return 0;
}
