// The consistent start of index-1 DAEs with a constant mass matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "quorvant/ndflib/daeic.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"

namespace {

long rhsCalls = 0;
long jacCalls = 0;

// a' = -a + b, 0 = b² - a (b algebraic, diagonal mass diag(1, 0)).
int sqrtRhs(double, double *y, double *f) {
    ++rhsCalls;
    f[0] = -y[0] + y[1];
    f[1] = y[1] * y[1] - y[0];
    return 0;
}
int sqrtJac(double, double *y, double *j) {
    ++jacCalls;
    j[0] = -1.0;
    j[1] = 1.0;
    j[2] = -1.0;
    j[3] = 2.0 * y[1];
    return 0;
}

// (a + b)' = -(a + b) twice over, so b - a/2 = 0 is the hidden algebraic equation
// (mass [[1, 1], [1, 1]], general: decomposed by the SVD).
int coupledRhs(double, double *y, double *f) {
    ++rhsCalls;
    f[0] = -(y[0] + y[1]);
    f[1] = -(y[0] + y[1]) + (y[1] - 0.5 * y[0]);
    return 0;
}
int coupledJac(double, double *, double *j) {
    ++jacCalls;
    j[0] = -1.0;
    j[1] = -1.0;
    j[2] = -1.5;
    j[3] = 0.0;
    return 0;
}

struct Start {
    std::vector<double> t0{0.0, 1.0}, y, yp, f, thresh, fac, jac, mass;
    _ndf_option opt{};
    _ndf_status st{};
    ndf_odefunc_t rhs;

    Start(std::vector<double> y0, std::vector<double> m, ndf_odefunc_t r, ndf_matfunc_t j)
        : y(std::move(y0)), mass(std::move(m)), rhs(r) {
        const auto n = y.size();
        yp.assign(n, 0.0);
        f.assign(n, 0.0);
        thresh.assign(n, 1e-10);
        fac.assign(n, 0.0);
        jac.assign(n * n, 0.0);
        ndf_init(&opt);
        opt.tol.rel = 1e-6;
        opt.jac.jfunc = j;
        rhs(0.0, y.data(), f.data());
        rhsCalls = jacCalls = 0;
    }
    int run(int ictype) {
        const int n = static_cast<int>(y.size());
        _ndf_input in{2, t0.data(), n, y.data()};
        _matrix mm{n, n, mass.data()}, vy{n, 1, y.data()}, vyp{n, 1, yp.data()}, vf{n, 1, f.data()};
        _matrix vt{n, 1, thresh.data()}, vfac{n, 1, fac.data()}, mj{n, n, jac.data()};
        return _daeic_state_independent(&in, &opt, &mm, ictype, 0.0, &vy, &vyp, &vf, &vt, &vfac, &mj,
                                        rhs, &st);
    }
};

}  // namespace

// Already consistent: only the slope is computed, without evaluating f again.
TEST(DaeStart, ConsistentStateOnlyGetsSlope) {
    Start s({4.0, 2.0}, {1.0, 0.0, 0.0, 0.0}, sqrtRhs, sqrtJac);
    ASSERT_EQ(s.run(1), 0);
    EXPECT_EQ(rhsCalls, 0);
    EXPECT_EQ(jacCalls, 1);
    EXPECT_EQ(s.y, (std::vector<double>{4.0, 2.0}));
    EXPECT_EQ(s.yp, (std::vector<double>{-2.0, 0.0}));
}

// A nonlinear algebraic equation is solved by the damped Newton iteration; the differential
// component keeps its value and f0 is the value at the corrected state.
TEST(DaeStart, NewtonCorrectsAlgebraicComponent) {
    for (double b0 : {1.0, 3.0, 0.2}) {
        SCOPED_TRACE(b0);
        Start s({4.0, b0}, {1.0, 0.0, 0.0, 0.0}, sqrtRhs, sqrtJac);
        ASSERT_EQ(s.run(1), 0);
        EXPECT_EQ(s.y[0], 4.0);
        EXPECT_NEAR(s.y[1], 2.0, 1e-8);
        std::vector<double> f(2);
        sqrtRhs(0.0, s.y.data(), f.data());
        EXPECT_EQ(s.f, f);
        EXPECT_NEAR(s.yp[0], -2.0, 1e-8);
        EXPECT_EQ(s.yp[1], 0.0);
        EXPECT_EQ(s.st.npds, jacCalls - 1);   // the first Jacobian is not counted
    }
}

// General constant mass: the SVD separates the differential direction a + b from the
// algebraic one a - b; the start moves along a - b only.
TEST(DaeStart, GeneralMassThroughSvd) {
    Start s({1.0, 0.0}, {1.0, 1.0, 1.0, 1.0}, coupledRhs, coupledJac);
    ASSERT_EQ(s.run(2), 0);
    EXPECT_NEAR(s.y[0], 2.0 / 3.0, 1e-12);
    EXPECT_NEAR(s.y[1], 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(s.yp[0], -0.5, 1e-12);
    EXPECT_NEAR(s.yp[1], -0.5, 1e-12);
}

TEST(DaeStart, SingularAlgebraicBlockIsRejected) {
    // 0 = a - 1 does not involve b: index 2.
    auto rhs = [](double, double *y, double *f) {
        f[0] = y[1];
        f[1] = y[0] - 1.0;
        return 0;
    };
    auto jac = [](double, double *, double *j) {
        j[0] = 0.0;
        j[1] = 1.0;
        j[2] = 1.0;
        j[3] = 0.0;
        return 0;
    };
    Start s({1.0, 0.0}, {1.0, 0.0, 0.0, 0.0}, rhs, jac);
    testing::internal::CaptureStdout();
    EXPECT_EQ(s.run(1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "This DAE appears to be of index greater than 1.\nERROR: _daeic_state_independent()\n");
}

TEST(DaeStart, SetYpDividesDifferentialComponentsAndTransforms) {
    std::vector<double> f{2.0, 5.0, 3.0}, d{4.0, 0.0, 0.5}, yp(3);
    // V swaps the first two coordinates.
    std::vector<double> v{0.0, 1.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0};
    _matrix vf{3, 1, f.data()}, vd{3, 1, d.data()}, mv{3, 3, v.data()}, vyp{3, 1, yp.data()};
    const _index byI[] = {{0, 0}, {2, 0}};
    ASSERT_EQ(_set_yp(&vf, &vd, nullptr, 2, byI, &vyp), 0);
    EXPECT_EQ(yp, (std::vector<double>{0.5, 0.0, 6.0}));
    const _index byJ[] = {{0, 0}, {0, 2}};
    ASSERT_EQ(_set_yp(&vf, &vd, &mv, 2, byJ, &vyp), 0);
    EXPECT_EQ(yp, (std::vector<double>{0.0, 0.5, 6.0}));
}
