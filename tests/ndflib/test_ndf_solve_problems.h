// Test problems for the NDF solver and a runner that captures the system log.
#ifndef QUORVANT_TEST_NDF_SOLVE_PROBLEMS_H
#define QUORVANT_TEST_NDF_SOLVE_PROBLEMS_H

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "quorvant/ndflib/ndf.h"

namespace ndftest {

// ---- Robertson's chemical kinetics: A -> B (0.04), B + C -> A + C (1e4), 2B -> B + C (3e7).
inline int robertson(double, double *y, double *f) {
    f[0] = -0.04 * y[0] + 1.0e4 * y[1] * y[2];
    f[2] = 3.0e7 * y[1] * y[1];
    f[1] = -f[0] - f[2];
    return 0;
}

inline int robertsonJac(double, double *y, double *j) {
    j[0] = -0.04;
    j[1] = 1.0e4 * y[2];
    j[2] = 1.0e4 * y[1];
    j[6] = 0.0;
    j[7] = 6.0e7 * y[1];
    j[8] = 0.0;
    for (int c = 0; c < 3; ++c) j[3 + c] = -j[c] - j[6 + c];
    return 0;
}

// The same kinetics as an index-1 DAE: y3 = 1 - y1 - y2 is algebraic (mass diag(1, 1, 0)).
inline int robertsonDae(double, double *y, double *f) {
    f[0] = -0.04 * y[0] + 1.0e4 * y[1] * y[2];
    f[1] = 0.04 * y[0] - 1.0e4 * y[1] * y[2] - 3.0e7 * y[1] * y[1];
    f[2] = y[0] + y[1] + y[2] - 1.0;
    return 0;
}

inline int robertsonDaeJac(double, double *y, double *j) {
    j[0] = -0.04;
    j[1] = 1.0e4 * y[2];
    j[2] = 1.0e4 * y[1];
    j[3] = 0.04;
    j[4] = -1.0e4 * y[2] - 6.0e7 * y[1];
    j[5] = -1.0e4 * y[1];
    j[6] = j[7] = j[8] = 1.0;
    return 0;
}

// Published values of Robertson's problem from y0 = (1, 0, 0).
constexpr std::array<double, 3> kRobertson40 = {0.7158270687193, 9.185534764557e-6,
                                                0.2841637457458};

// ---- A stiff linear system with a closed-form solution:
// y1' = -y1 + y2, y2' = -1000·y2; from (1, 1):
// y2 = e^{-1000t}, y1 = (1 + 1/999)·e^{-t} - e^{-1000t}/999.
inline int linear(double, double *y, double *f) {
    f[0] = -y[0] + y[1];
    f[1] = -1000.0 * y[1];
    return 0;
}

inline int linearJac(double, double *, double *j) {
    j[0] = -1.0;
    j[1] = 1.0;
    j[2] = 0.0;
    j[3] = -1000.0;
    return 0;
}

inline std::array<double, 2> linearExact(double t) {
    const double e2 = std::exp(-1000.0 * t);
    return {(1.0 + 1.0 / 999.0) * std::exp(-t) - e2 / 999.0, e2};
}

// ---- Van der Pol oscillator, μ = 1000: y1' = y2, y2' = μ·(1 - y1²)·y2 - y1.
constexpr double kVdpMu = 1000.0;

inline int vanDerPol(double, double *y, double *f) {
    f[0] = y[1];
    f[1] = kVdpMu * (1.0 - y[0] * y[0]) * y[1] - y[0];
    return 0;
}

inline int vanDerPolJac(double, double *y, double *j) {
    j[0] = 0.0;
    j[1] = 1.0;
    j[2] = -2.0 * kVdpMu * y[0] * y[1] - 1.0;
    j[3] = kVdpMu * (1.0 - y[0] * y[0]);
    return 0;
}

// One solve with the log captured.
struct SolveRun {
    int rc = 0;
    std::vector<double> t;
    std::vector<std::vector<double>> y;   // y[point][component]
    _ndf_status st{};
    std::string log;

    const std::vector<double> &last() const { return y.back(); }
};

inline SolveRun runSolve(std::vector<double> times, std::vector<double> y0, ndf_odefunc_t f,
                    _ndf_option opt) {
    SolveRun r;
    _ndf_input in{static_cast<int>(times.size()), times.data(), static_cast<int>(y0.size()),
                  y0.data()};
    _ndf_solution sol{};
    testing::internal::CaptureStdout();
    r.rc = ndf_solve(&in, &sol, f, &opt, &r.st);
    r.log = testing::internal::GetCapturedStdout();
    const auto n = y0.size();
    for (int i = 0; i < sol.tnum; ++i) {
        r.t.push_back(sol.tt[i]);
        r.y.emplace_back(sol.yy + static_cast<std::size_t>(i) * n,
                         sol.yy + static_cast<std::size_t>(i + 1) * n);
    }
    ndf_term(&sol);
    return r;
}

inline _ndf_option options(double rtol, double atol, ndf_matfunc_t jac = nullptr) {
    _ndf_option o;
    ndf_init(&o);
    o.tol.rel = rtol;
    o.tol.abs = atol;
    o.jac.jfunc = jac;
    return o;
}

}  // namespace ndftest

#endif
