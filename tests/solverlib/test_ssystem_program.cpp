// End to end: the simulator built for the delivered S-system example runs its model input file
// under mpiexec and writes the S-system report, the steady state and the eigenvalues of the
// Jacobian there (worked out by hand in test_ssystem_model.cpp: X1 = 50^(2/3), X2 = 400^(1/3)).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "text_files.h"

namespace {

using qv::test::read_file;

std::string format(const char *fmt, double a, double b, int i) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, i, a, b);
    return buf;
}

TEST(SSystemProgram, SimulatorWritesTheReportSteadyStateAndEigenvalues) {
    char dir[] = "/tmp/qv_ssystem_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string cmd = std::string("cd ") + dir + " && " + QV_MPIEXEC + " -n 1 " +
                            QV_BINARY_DIR "/bin/simulator_ssystem -I" QV_SOURCE_DIR
                            "/models/ssystem/ssystem.in -Oresult.txt > log.txt 2>&1";
    const int status = std::system(cmd.c_str());
    const std::string log = read_file(std::string(dir) + "/log.txt");
    ASSERT_EQ(status, 0) << log;
    const std::string out = read_file(std::string(dir) + "/result.txt");

    const double x1 = std::pow(50.0, 2.0 / 3.0), x2 = std::cbrt(400.0);
    const char *sections[] = {
        "\n$ STD Values and Fluxes $\nindex,  STD value ,      Flux\n",
        "\n$ Logarythmic Gains of Metabolites $\n",
        "\n$ Sensitivities of Metabolites with respect to rate constants $\n",
        "\n$ Sensitivities of Metabolites with respect to kinetic orders $\n",
        "\n$ Logarythmic Gains of Fluxes $\n",
        "\n$ Sensitivities of Fluxes with respect to rate constants $\n",
        "\n$ Sensitivities of Fluxes with respect to kinetic orders $\n",
        "index,     y value\n",
        "\n$$ Finish Successfully!!\n",
    };
    size_t at = 0;
    for (const char *s : sections) {
        const size_t found = out.find(s, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << s << "\n" << out;
        at = found;
    }
    EXPECT_NE(out.find(format("%5d,%12.3e,%12.3e, #X1_intermediate\n", x1, x2, 1)), std::string::npos)
        << out;
    EXPECT_NE(out.find(format("%5d,%12.3e,%12.3e, #X2_end_product\n", x2, x2, 2)), std::string::npos)
        << out;

    // The Jacobian at the steady state, [[-X1^-0.5, -10 X2^-1.5], [X1^-0.5, -1]], has a pair of
    // complex eigenvalues with a negative real part: the steady state is a stable focus.
    const double a = -1.0 / std::sqrt(x1), b = -10.0 * std::pow(x2, -1.5), c = 1.0 / std::sqrt(x1);
    const double d = -1.0;
    const double tr = a + d, det = a * d - b * c;
    const double re = tr / 2, im = std::sqrt(4 * det - tr * tr) / 2;
    EXPECT_NE(out.find("\n$$ Eigenvalues\n\n  No.,        Real,   Imaginary\n"), std::string::npos) << out;
    const bool upFirst = out.find(format("%5d,%12.3e,%12.3e\n", re, im, 1)) != std::string::npos;
    EXPECT_NE(out.find(format("%5d,%12.3e,%12.3e\n", re, upFirst ? im : -im, 1)), std::string::npos)
        << out;
    EXPECT_NE(out.find(format("%5d,%12.3e,%12.3e\n", re, upFirst ? -im : im, 2)), std::string::npos)
        << out;
    EXPECT_NE(out.find("\n$$ END ALL!!\n"), std::string::npos) << out;

    EXPECT_EQ(std::system((std::string("rm -rf ") + dir).c_str()), 0);
}

}  // namespace
