// The forward-difference Jacobian and the adaptation of its increment factors.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/numjac.h"
#include "test_ndf_solve_problems.h"

namespace {

const double kSqrtEps = 1.4901161193847656e-8;

struct NumJac {
    int n;
    std::vector<double> y, f, thresh, fac, jac;
    NumJac(std::vector<double> y0, double th) : n(static_cast<int>(y0.size())), y(std::move(y0)) {
        f.assign(y.size(), 0.0);
        thresh.assign(y.size(), th);
        fac.assign(y.size(), 0.0);
        jac.assign(y.size() * y.size(), 0.0);
    }
    int run(ndf_odefunc_t func, int isempty) {
        func(0.0, y.data(), f.data());
        _matrix vy{n, 1, y.data()}, vf{n, 1, f.data()}, vt{n, 1, thresh.data()};
        _matrix vfac{n, 1, fac.data()}, mj{n, n, jac.data()};
        _ndf_status st{};
        const int rc = _numerical_jacobian(0.0, &vy, &vf, func, &vt, isempty, &vfac, &mj, &st);
        EXPECT_EQ(st.nfevals, 0);
        return rc;
    }
};

int identity(double, double *y, double *f) {
    f[0] = y[0];
    return 0;
}

// f0 barely depends on y1: its first difference drowns in rounding.
int weakColumn(double, double *y, double *f) {
    f[0] = 1.0 + 1e-9 * y[1] - 0.5 * y[0];
    f[1] = -y[0];
    return 0;
}

}  // namespace

TEST(NumJac, MatchesAnalyticJacobian) {
    NumJac nj({0.9, 2.5e-5, 0.1}, 1e-12);
    ASSERT_EQ(nj.run(ndftest::robertson, 1), 0);
    std::vector<double> exact(9);
    ndftest::robertsonJac(0.0, nj.y.data(), exact.data());
    for (std::size_t e = 0; e < 9; ++e) EXPECT_NEAR(nj.jac[e], exact[e], 1e-6 * std::fabs(exact[e]) + 1e-9) << e;
    // The factors start at sqrt(eps) and are carried to the next call, which agrees too.
    std::vector<double> fac = nj.fac;
    for (double v : fac) EXPECT_GT(v, 0.0);
    ASSERT_EQ(nj.run(ndftest::robertson, 0), 0);
    for (std::size_t e = 0; e < 9; ++e) EXPECT_NEAR(nj.jac[e], exact[e], 1e-6 * std::fabs(exact[e]) + 1e-9) << e;
}

// A zero component with a tiny threshold: the factor grows by 100 until the increment is
// representable, or stops at 0.1 and the increment becomes the threshold.
TEST(NumJac, IncrementGrowsUntilRepresentable) {
    NumJac grows({0.0}, 1e-320);
    ASSERT_EQ(grows.run(identity, 1), 0);
    EXPECT_EQ(grows.fac[0], kSqrtEps * 100.0 * 100.0 * 100.0);

    NumJac capped({0.0}, 4.9406564584124654e-324);
    ASSERT_EQ(capped.run(identity, 1), 0);
    EXPECT_EQ(capped.fac[0], 0.1);
}

// A column at rounding level is recomputed with the factor sqrt(fac), kept because it is
// more significant, and its factor raised tenfold for the next call.
TEST(NumJac, RoundingLevelColumnIsRetried) {
    NumJac nj({1.0, 1.0}, 1e-6);
    ASSERT_EQ(nj.run(weakColumn, 1), 0);
    EXPECT_NEAR(nj.jac[1], 1e-9, 1e-11);
    EXPECT_NEAR(nj.jac[0], -0.5, 1e-7);
    EXPECT_EQ(nj.fac[1], std::min(10.0 * std::sqrt(kSqrtEps), 0.1));
}
