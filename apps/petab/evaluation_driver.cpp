// The evaluation program of one PEtab problem, linked with its generated model: the objective at
// the scaled parameter values of a file, and every measurement's simulated value.
//
//   <program> VALUES_FILE OUT_FILE
//
// VALUES_FILE holds the estimated parameters on their parameterScale, one per line, in the order
// of the model's table. OUT_FILE gets "llh: ", "chi2: ", "log prior: ", "failed: " lines (and
// "failure: " with what failed first), then "simulations:" and one line per measurement with its
// simulated value and its noise parameter, tab-separated. Exit status 0, or 1 with a message.
#include <cstdio>
#include <string>
#include <vector>

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
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s VALUES_FILE OUT_FILE\n", argv[0]);
        return 1;
    }
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
    const qv::petab_sim::ObjectiveValue v = qv::petab_sim::evaluate(pb, x.data(), w);
    std::string out = "llh: " + full(v.llh) + "\nchi2: " + full(v.chi2) + "\nlog prior: " + full(v.log_prior) +
                      "\nfailed: " + std::to_string(v.failed) + "\n";
    if (!v.failure.empty()) out += "failure: " + v.failure + "\n";
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
