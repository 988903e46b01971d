// The delivered S-system example (models/ssystem): its model input file loads, the analysis finds
// the steady state worked out by hand below, and its model code is the S-system it describes.
//
// With the file's values (X3 = 2, alpha = 10, 2; beta = 2, 1; g13 = 1, g12 = -0.5, g21 = 0.5;
// h11 = 0.5, h22 = 1) the steady state solves
//     10 X3 X2^-0.5 = 2 X1^0.5   and   2 X1^0.5 = X2,
// so X2 = 2 X1^0.5, X1^0.75 = 5 X3 / sqrt(2): X1 = 50^(2/3), X2 = 400^(1/3) for X3 = 2, and
// d ln X1 / d ln X3 = 4/3, d ln X2 / d ln X3 = 2/3. Both fluxes equal X2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/solverlib/s_std_solver.h"
#include "quorvant/model.h"

namespace {

struct Loaded {
    std::vector<double> y = std::vector<double>(qv::kStateSize, 0.0);
    double t0 = 0, t1 = 0, dt = 0, dm = 0;
};

Loaded loadExample() {
    resetParamTab();
    resetInputData();
    Loaded l;
    testing::internal::CaptureStdout();
    const int rc = Set_data(l.y.data(), &l.t0, &l.t1, &l.dt, &l.dm,
                            QV_SOURCE_DIR "/models/ssystem/ssystem.in");
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0) << log;
    return l;
}

std::string analyse(std::vector<double> &y, int *rc) {
    FILE *fp = std::tmpfile();
    FILE *saved = Fp_out;
    Fp_out = fp;
    testing::internal::CaptureStdout();
    *rc = SsysSTD(y.data());
    const std::string log = testing::internal::GetCapturedStdout();
    Fp_out = saved;
    EXPECT_EQ(log, "");
    std::string text;
    std::rewind(fp);
    for (int c; (c = std::fgetc(fp)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(fp);
    return text;
}

TEST(SSystemExample, SteadyStateFluxesAndGainsMatchTheHandSolution) {
    Loaded l = loadExample();
    ASSERT_EQ(SolverNo, 12);
    ASSERT_EQ(Param.n_var, 2);
    int rc = -1;
    const std::string report = analyse(l.y, &rc);
    ASSERT_EQ(rc, 0);
    const double x1 = std::pow(50.0, 2.0 / 3.0), x2 = std::cbrt(400.0);
    EXPECT_NEAR(l.y[1], x1, 1e-12 * x1);
    EXPECT_NEAR(l.y[2], x2, 1e-12 * x2);

    char line[128];
    std::snprintf(line, sizeof line, "%5d,%12.3e,%12.3e, #X1_intermediate\n", 1, x1, x2);
    EXPECT_NE(report.find(line), std::string::npos) << report;
    std::snprintf(line, sizeof line, "%5d,%12.3e,%12.3e, #X2_end_product\n", 2, x2, x2);
    EXPECT_NE(report.find(line), std::string::npos) << report;
    EXPECT_NE(report.find("\n$ Logarythmic Gains of Metabolites $\n"
                          "param/var          ,     y[  1],     y[  2]\n"
                          "constantPlayer[  1],  1.333e+00,  6.667e-01\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\n$ Logarythmic Gains of Fluxes $\n"
                          "param/flux         ,     v[  1],     v[  2]\n"
                          "constantPlayer[  1],  6.667e-01,  6.667e-01\n"),
              std::string::npos)
        << report;
}

TEST(SSystemExample, ModelCodeIsTheSSystemAndItsJacobian) {
    Loaded l = loadExample();
    int rc = -1;
    analyse(l.y, &rc);
    ASSERT_EQ(rc, 0);
    // The right-hand side vanishes at the steady state.
    double f[3] = {};
    usr_fvec(f, l.y.data(), GeneConc, &Param);
    EXPECT_NEAR(f[1], 0.0, 1e-12);
    EXPECT_NEAR(f[2], 0.0, 1e-12);
    // The Jacobian agrees with central differences, at the steady state and away from it.
    for (const std::vector<double> &at : {l.y, std::vector<double>{0.0, 0.7, 3.0}}) {
        std::vector<double> row1(3, 0.0), row2(3, 0.0);
        double *jac[3] = {nullptr, row1.data(), row2.data()};
        usr_fjac(jac, const_cast<double *>(at.data()), GeneConc, &Param);
        for (int j = 1; j <= 2; ++j) {
            std::vector<double> up = at, down = at;
            const double h = 1e-6 * at[j];
            up[j] += h;
            down[j] -= h;
            double fu[3] = {}, fd[3] = {};
            usr_fvec(fu, up.data(), GeneConc, &Param);
            usr_fvec(fd, down.data(), GeneConc, &Param);
            for (int i = 1; i <= 2; ++i) {
                const double num = (fu[i] - fd[i]) / (2 * h);
                EXPECT_NEAR(jac[i][j], num, 1e-6 * (1.0 + std::fabs(num))) << i << "," << j;
            }
        }
    }
}

}  // namespace
