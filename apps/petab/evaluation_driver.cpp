// The evaluation program of one PEtab problem, linked with its generated model: the objective at
// the scaled parameter values of a file, and every measurement's simulated value.
//
//   <program> VALUES_FILE OUT_FILE [--refine MAX_EVALUATIONS [STARTS SEED [SECONDS [OFFSET STRIDE]]]]
//
// VALUES_FILE holds the estimated parameters on their parameterScale, one per line, in the order
// of the model's table. With --refine they are first refined by the local search (at most that many
// evaluations per start), and so are STARTS more points drawn uniformly in the box of the scaled
// bounds (a stream seeded with SEED), no new one after SECONDS; the best of the refined points is
// kept. With OFFSET and STRIDE only the starts whose number (0 for the given values) is OFFSET
// modulo STRIDE, so that STRIDE runs share the starts out. OUT_FILE gets "llh: ", "chi2: ", "log prior: ", "failed: " lines (and "failure: "
// with what failed first; after a refinement "refinement: <evaluations> evaluations, <iterations>
// iterations, ...", "refined: <evaluations> <iterations> <starts> <best start>" and "values:" with
// one refined value per line), then "simulations:" and one line per
// measurement with its simulated value and its noise parameter, tab-separated. Exit status 0, or 1
// with a message.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <cstdlib>
#include <string>
#include <vector>

#include "quorvant/petab_sim/local_refinement.h"
#include "quorvant/petab_sim/objective.h"

extern "C" const qv::petab_sim::Problem *qv_petab_problem();

namespace {

std::string full(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

int main(int argc, char **argv) {
    int refine_evaluations = 0, starts = 0, offset = 0, stride = 1;
    unsigned long long seed = 0;
    if (argc >= 5 && std::string(argv[3]) == "--refine") refine_evaluations = std::atoi(argv[4]);
    double seconds = 0.0;   // 0: no limit
    if (argc >= 7) {
        starts = std::atoi(argv[5]);
        seed = std::strtoull(argv[6], nullptr, 10);
    }
    if (argc >= 8) seconds = std::strtod(argv[7], nullptr);
    if (argc == 10) {
        offset = std::atoi(argv[8]);
        stride = std::atoi(argv[9]);
    }
    if ((argc != 3 && argc != 5 && argc != 7 && argc != 8 && argc != 10) || (argc >= 5 && refine_evaluations < 1) ||
        starts < 0 || !(seconds >= 0) || stride < 1 || offset < 0 || offset >= stride) {
        std::fprintf(stderr,
                     "usage: %s VALUES_FILE OUT_FILE [--refine MAX_EVALUATIONS [STARTS SEED [SECONDS [OFFSET STRIDE]]]]\n",
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
