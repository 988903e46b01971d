// Forward sensitivities of the NDF solver against closed forms: a stiff linear pair whose
// solution and derivatives by its two rate constants are known exactly, at many output times and
// on the two-point path (every step stored), for both method families, with a dense or a sparse
// Jacobian, with the sensitivities under error control or not.
#include <gtest/gtest.h>

#include <cmath>

#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_sensitivity.h"

namespace {

// y1' = -a y1, y2' = a y1 - b y2 with y(0) = (1, 0): y1 = e^{-at},
// y2 = a/(b-a) (e^{-at} - e^{-bt}). Parameters p = (a, b).
constexpr double kA = 2.0, kB = 500.0;

int pairRhs(double, double *y, double *f) {
    f[0] = -kA * y[0];
    f[1] = kA * y[0] - kB * y[1];
    return 0;
}
int pairJac(double, double *, double *j) {
    j[0] = -kA, j[1] = 0.0, j[2] = kA, j[3] = -kB;
    return 0;
}
int pairDfdp(double, double *y, double *fp) {
    fp[0] = -y[0], fp[1] = y[0];   // d f / d a
    fp[2] = 0.0, fp[3] = -y[1];    // d f / d b
    return 0;
}

void exact(double t, double *y, double *s) {
    const double ea = std::exp(-kA * t), eb = std::exp(-kB * t), c = kA / (kB - kA);
    y[0] = ea;
    y[1] = c * (ea - eb);
    // d/da and d/db of y1 and y2.
    const double dc_da = kB / ((kB - kA) * (kB - kA)), dc_db = -kA / ((kB - kA) * (kB - kA));
    s[0] = -t * ea;
    s[1] = dc_da * (ea - eb) + c * (-t * ea);
    s[2] = 0.0;
    s[3] = dc_db * (ea - eb) + c * (t * eb);
}

}  // namespace

TEST(NdfSensitivity, StiffLinearPairMatchesClosedForm) {
    const int sparse[] = {0, 2, 3};   // the Jacobian's non-zero entries
    for (int bdf = 0; bdf < 2; ++bdf)
        for (int points : {2, 9}) {
            for (int variant = 0; variant < 3; ++variant) {
                const bool pattern = variant >= 1, errcon = variant == 2;
                SCOPED_TRACE(testing::Message() << "bdf " << bdf << " points " << points << " variant " << variant);
                _ndf_option opt;
                ndf_init(&opt);
                opt.tol.rel = 1e-9;
                opt.tol.abs = 1e-13;
                opt.jac.jfunc = pairJac;
                opt.dae.singular = 1;
                opt.bdf.isbdf = bdf;
                double times[9];
                for (int k = 0; k < points; ++k) times[k] = 3.0 * k / (points - 1);
                double y0[2] = {1.0, 0.0}, s0[4] = {0.0, 0.0, 0.0, 0.0};
                _ndf_input in{points, times, 2, y0};
                _ndf_solution sol{};
                _ndf_status st{};
                _ndf_sensitivity sens{};
                sens.num = 2;
                sens.s0 = s0;
                sens.pfunc = pairDfdp;
                if (pattern) {
                    sens.jnnz = 3;
                    sens.jindex = sparse;
                }
                sens.errcon = errcon ? 1 : 0;
                ASSERT_EQ(ndf_solve_sens(&in, &sol, pairRhs, &opt, &st, &sens), 0);
                ASSERT_EQ(sens.sol.tnum, sol.tnum);
                for (int k = 0; k < sol.tnum; ++k) {
                    double y[2], s[4];
                    exact(sol.tt[k], y, s);
                    for (int i = 0; i < 4; ++i)
                        EXPECT_NEAR(sens.sol.yy[k * 4 + i], s[i], 2e-6 * (std::fabs(s[i]) + 1e-3)) << "t " << sol.tt[k] << " i " << i;
                }
                ndf_term(&sol);
                ndf_term(&sens.sol);
            }
        }
}

// A step limit ends a solve that needs more steps, with or without sensitivities.
TEST(NdfSensitivity, AStepLimitEndsTheSolve) {
    _ndf_option opt;
    ndf_init(&opt);
    opt.tol.rel = 1e-10;
    opt.tol.abs = 1e-14;
    opt.jac.jfunc = pairJac;
    opt.dae.singular = 1;
    double times[2] = {0.0, 3.0}, y0[2] = {1.0, 0.0}, s0[4] = {};
    _ndf_input in{2, times, 2, y0};
    for (long limit : {5L, 100000L}) {
        _ndf_solution sol{};
        _ndf_status st{};
        EXPECT_EQ(ndf_solve_limited(&in, &sol, pairRhs, &opt, &st, limit), limit == 5 ? -1 : 0);
        ndf_term(&sol);
        _ndf_sensitivity sens{};
        sens.num = 2;
        sens.s0 = s0;
        sens.pfunc = pairDfdp;
        EXPECT_EQ(ndf_solve_sens(&in, &sol, pairRhs, &opt, &st, &sens, limit), limit == 5 ? -1 : 0);
        ndf_term(&sol);
        ndf_term(&sens.sol);
    }
}

TEST(NdfSensitivity, RefusesWhatItCannotDo) {
    _ndf_option opt;
    ndf_init(&opt);   // no Jacobian function
    double times[2] = {0.0, 1.0}, y0[2] = {1.0, 0.0}, s0[4] = {};
    _ndf_input in{2, times, 2, y0};
    _ndf_solution sol{};
    _ndf_status st{};
    _ndf_sensitivity sens{};
    sens.num = 2;
    sens.s0 = s0;
    sens.pfunc = pairDfdp;
    EXPECT_EQ(ndf_solve_sens(&in, &sol, pairRhs, &opt, &st, &sens), -1);
    EXPECT_EQ(sens.sol.tnum, 0);
    EXPECT_EQ(sol.tnum, 0);
}
