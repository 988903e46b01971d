// The NDF integrator on index-1 DAEs: Robertson's kinetics with y3 algebraic, in several
// arrangements of the mass matrix, consistent and inconsistent starts, given slopes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "quorvant/ndflib/ndf.h"
#include "test_ndf_solve_problems.h"

using namespace ndftest;

namespace {

// Arrangements of the same DAE: the state is perm(y) (position p holds y[kPerm[p]]) and the
// equations are T·(f in the original order), so the mass matrix is T·M·P.
int arrangement = 0;
constexpr int kPerms[2][3] = {{0, 1, 2}, {2, 0, 1}};
constexpr double kT[2][9] = {{1, 0, 0, 0, 1, 0, 0, 0, 1},    // identity
                             {1, 1, 0, 0, 1, 1, 1, 0, 1}};   // invertible, mixes all rows
long jacCalls = 0;

struct Arrangement {
    int perm;   // 0 identity, 1 algebraic variable first
    int trans;  // 0 identity, 1 the mixing matrix
};
constexpr Arrangement kArrangements[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

void toOriginal(const double *s, double *y) {
    const int *p = kPerms[kArrangements[arrangement].perm];
    for (int i = 0; i < 3; ++i) y[p[i]] = s[i];
}

int daeRhs(double t, double *s, double *f) {
    double y[3], g[3];
    toOriginal(s, y);
    robertsonDae(t, y, g);
    const double *tm = kT[kArrangements[arrangement].trans];
    for (int i = 0; i < 3; ++i) f[i] = tm[i * 3] * g[0] + tm[i * 3 + 1] * g[1] + tm[i * 3 + 2] * g[2];
    return 0;
}

int daeJac(double t, double *s, double *j) {
    ++jacCalls;
    double y[3], jo[9];
    toOriginal(s, y);
    robertsonDaeJac(t, y, jo);
    const int *p = kPerms[kArrangements[arrangement].perm];
    const double *tm = kT[kArrangements[arrangement].trans];
    // J(i, c) = Σ_k T(i,k)·Jo(k, p[c])
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) {
            double s2 = 0.0;
            for (int k = 0; k < 3; ++k) s2 += tm[i * 3 + k] * jo[k * 3 + p[c]];
            j[i * 3 + c] = s2;
        }
    return 0;
}

std::vector<double> daeMass() {
    const double mo[3] = {1.0, 1.0, 0.0};   // diag of M in the original order
    const int *p = kPerms[kArrangements[arrangement].perm];
    const double *tm = kT[kArrangements[arrangement].trans];
    std::vector<double> m(9, 0.0);
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) m[static_cast<std::size_t>(i * 3 + c)] = tm[i * 3 + p[c]] * mo[p[c]];
    return m;
}

std::vector<double> arranged(std::vector<double> y) {
    const int *p = kPerms[kArrangements[arrangement].perm];
    std::vector<double> s(3);
    for (int i = 0; i < 3; ++i) s[static_cast<std::size_t>(i)] = y[static_cast<std::size_t>(p[i])];
    return s;
}

}  // namespace

// Every arrangement (diagonal mass with the algebraic variable last or first, general
// constant mass through the SVD), from a consistent and an inconsistent start.
TEST(NdfSolveDae, RobertsonAsDae) {
    for (arrangement = 0; arrangement < 4; ++arrangement) {
        for (double y3 : {0.0, 0.3}) {
            SCOPED_TRACE("arrangement " + std::to_string(arrangement) + " y3(0) " + std::to_string(y3));
            std::vector<double> mass = daeMass();
            _ndf_option o = options(1e-8, 1e-14, daeJac);
            o.dae.mconst = mass.data();
            const SolveRun r = runSolve({0.0, 1.0, 40.0}, arranged({1.0, 0.0, y3}), daeRhs, o);
            ASSERT_EQ(r.rc, 0) << r.log;
            EXPECT_EQ(r.log, "");   // a successful solve is silent
            ASSERT_EQ(r.t.size(), 3u);
            double y[3];
            // The start point is the corrected one: the algebraic equation holds.
            toOriginal(r.y[0].data(), y);
            EXPECT_NEAR(y[0] + y[1] + y[2], 1.0, 1e-12);
            EXPECT_NEAR(y[0], 1.0, 1e-15);
            toOriginal(r.y[2].data(), y);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(y[i], kRobertson40[static_cast<std::size_t>(i)], 2e-6 * kRobertson40[static_cast<std::size_t>(i)]) << i;
        }
    }
    arrangement = 0;
}

// A given slope that satisfies M·yp0 = f0 is taken as it is and the consistent start does not
// run (it would form one more Jacobian); a slope that does not is replaced.
TEST(NdfSolveDae, GivenInitialSlope) {
    arrangement = 0;
    std::vector<double> mass = daeMass();
    struct Case {
        const char *name;
        std::vector<double> slope;
        long extraJacobians;
    };
    for (const Case &c : {Case{"exact", {-0.04, 0.04, 0.0}, 0}, Case{"wrong", {-0.03, 0.04, 0.0}, 1}}) {
        SCOPED_TRACE(c.name);
        std::vector<double> slope = c.slope;
        _ndf_option o = options(1e-8, 1e-14, daeJac);
        o.dae.mconst = mass.data();
        o.dae.initslope = slope.data();
        jacCalls = 0;
        const SolveRun r = runSolve({0.0, 40.0}, {1.0, 0.0, 0.0}, daeRhs, o);
        ASSERT_EQ(r.rc, 0) << r.log;
        EXPECT_EQ(jacCalls, r.st.npds + c.extraJacobians);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(r.last()[i], kRobertson40[i], 2e-6 * kRobertson40[i]);
        EXPECT_EQ(slope, c.slope);   // the caller's guess is not written
    }
}

// Declaring a regular mass matrix singular still integrates correctly (as a DAE without
// algebraic components).
TEST(NdfSolveDae, SingularFlagWithRegularMass) {
    static const double kIdentity[4] = {1.0, 0.0, 0.0, 1.0};
    _ndf_option o = options(1e-6, 1e-9, linearJac);
    o.dae.mconst = const_cast<double *>(kIdentity);
    o.dae.singular = 0;
    const SolveRun r = runSolve({0.0, 0.5, 10.0}, {1.0, 1.0}, linear, o);
    ASSERT_EQ(r.rc, 0) << r.log;
    for (std::size_t p = 0; p < r.t.size(); ++p) {
        const auto ex = linearExact(r.t[p]);
        for (std::size_t i = 0; i < 2; ++i) EXPECT_NEAR(r.y[p][i], ex[i], 2e-5 * std::fabs(ex[i]) + 1e-8);
    }
}

namespace {
// y1' = y2, 0 = y1 - 1: the algebraic equation does not involve y2 (index 2).
int indexTwo(double, double *y, double *f) {
    f[0] = y[1];
    f[1] = y[0] - 1.0;
    return 0;
}
int indexTwoJac(double, double *, double *j) {
    j[0] = 0.0;
    j[1] = 1.0;
    j[2] = 1.0;
    j[3] = 0.0;
    return 0;
}
int stateMass(double, double *y, double *m) {
    m[0] = 1.0 + y[0] * y[0];
    m[1] = m[2] = m[3] = 0.0;
    return 0;
}
}  // namespace

TEST(NdfSolveDae, UnsupportedDaes) {
    static const double kMass[4] = {1.0, 0.0, 0.0, 0.0};
    _ndf_option o = options(1e-6, 1e-9, indexTwoJac);
    o.dae.mconst = const_cast<double *>(kMass);
    const SolveRun high = runSolve({0.0, 1.0}, {1.0, 0.0}, indexTwo, o);
    EXPECT_EQ(high.rc, -1);
    EXPECT_EQ(high.log,
              "This DAE appears to be of index greater than 1.\n"
              "ERROR: _daeic_state_independent()\nERROR: ndf_solve()\n");
    ASSERT_EQ(high.t.size(), 0u);

    _ndf_option os = options(1e-6, 1e-9, indexTwoJac);
    os.dae.mfunc = stateMass;
    os.dae.ydepend = 1;
    const SolveRun ydep = runSolve({0.0, 1.0}, {1.0, 0.0}, indexTwo, os);
    EXPECT_EQ(ydep.rc, -1);
    EXPECT_EQ(ydep.log, "Not Support(y dependent mass type)\nERROR: ndf_solve()\n");
}
