// Measurement likelihoods and parameter priors against closed forms written out here, densities
// that must integrate to one, and the public test suite's likelihoods recomputed from its
// measurement and simulation tables.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/petab_runtime/likelihood.h"
#include "quorvant/petab_runtime/prior.h"
#include "text_files.h"

namespace pr = qv::petab_runtime;
namespace fs = std::filesystem;
using pr::Noise;
using pr::PriorKind;
using pr::Transform;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLn10 = std::numbers::ln10;

void expect_value(double expected, double actual, const std::string &what) {
    if (std::isinf(expected)) EXPECT_EQ(expected, actual) << what;
    else EXPECT_NEAR(expected, actual, 1e-12 * (1.0 + std::fabs(expected))) << what;
}

// "name value name value ..." for failure messages.
template <typename... Parts>
std::string label(const Parts &...parts) {
    std::ostringstream s;
    ((s << parts << ' '), ...);
    return s.str();
}

// Composite Simpson's rule with n (even) intervals.
double simpson(const std::function<double(double)> &f, double a, double b, int n = 20000) {
    const double h = (b - a) / n;
    double s = f(a) + f(b);
    for (int i = 1; i < n; ++i) s += f(a + i * h) * (i % 2 == 1 ? 4.0 : 2.0);
    return s * h / 3.0;
}

}  // namespace

TEST(PetabLikelihood, MatchesClosedFormsAndRefusesWhatIsOutsideTheModel) {
    struct Case {
        double m, y, sigma;
        Transform t;
        Noise n;
        double llh, chi2;
    };
    const double l2 = std::log(2.0);
    const double r10 = std::log10(3.0) - std::log10(2.0), re = std::log(3.0 / 2.0);
    const Case cases[] = {
        {1.3, 0.9, 0.4, Transform::Lin, Noise::Normal,
         -0.5 * std::log(2 * kPi * 0.16) - 0.5 * (0.4 / 0.4) * (0.4 / 0.4), 1.0},
        {-2.0, 1.0, 2.0, Transform::Lin, Noise::Normal, -0.5 * std::log(2 * kPi * 4.0) - 0.5 * 2.25, 2.25},
        {3.0, 2.0, 0.5, Transform::Log, Noise::Normal,
         -0.5 * std::log(2 * kPi * 0.25) - std::log(3.0) - 0.5 * re * re / 0.25, re * re / 0.25},
        {3.0, 2.0, 0.5, Transform::Log10, Noise::Normal,
         -0.5 * std::log(2 * kPi * 0.25) - std::log(3.0 * kLn10) - 0.5 * r10 * r10 / 0.25, r10 * r10 / 0.25},
        {1.3, 0.9, 0.4, Transform::Lin, Noise::Laplace, -std::log(0.8) - 1.0, 1.0},
        {-2.0, 1.0, 2.0, Transform::Lin, Noise::Laplace, -std::log(4.0) - 1.5, 2.25},
        {3.0, 2.0, 0.5, Transform::Log, Noise::Laplace, -std::log(1.0) - std::log(3.0) - re / 0.5, re * re / 0.25},
        {2.0, 3.0, 0.5, Transform::Log10, Noise::Laplace, -std::log(2.0 * kLn10) - r10 / 0.5, r10 * r10 / 0.25},
        // A tiny sigma: far off the data is impossible, not NaN; on the data the density is huge.
        {1.0, 0.0, 1e-200, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {1.0, 1.0, 1e-200, Transform::Lin, Noise::Normal, 200 * std::log(10.0) - 0.5 * std::log(2 * kPi), 0.0},
        {1.0, 1.0, 1e-200, Transform::Lin, Noise::Laplace, 200 * std::log(10.0) - l2, 0.0},
        // Outside the model: no sigma, no measurement, a log of a non-positive value.
        {1.0, 1.0, 0.0, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {1.0, 1.0, -0.5, Transform::Lin, Noise::Laplace, -INFINITY, INFINITY},
        {1.0, 1.0, NAN, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {1.0, 1.0, INFINITY, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {NAN, 1.0, 1.0, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {1.0, INFINITY, 1.0, Transform::Lin, Noise::Normal, -INFINITY, INFINITY},
        {1.0, -INFINITY, 1.0, Transform::Lin, Noise::Laplace, -INFINITY, INFINITY},
        {0.0, 1.0, 1.0, Transform::Log, Noise::Normal, -INFINITY, INFINITY},
        {1.0, 0.0, 1.0, Transform::Log, Noise::Laplace, -INFINITY, INFINITY},
        {-1.0, 1.0, 1.0, Transform::Log10, Noise::Normal, -INFINITY, INFINITY},
        {1.0, -2.0, 1.0, Transform::Log10, Noise::Laplace, -INFINITY, INFINITY},
    };
    for (const auto &c : cases) {
        const std::string what = label("m", c.m, "y", c.y, "sigma", c.sigma, "transform", static_cast<int>(c.t),
                                       "noise", static_cast<int>(c.n));
        expect_value(c.llh, pr::log_likelihood(c.m, c.y, c.sigma, c.t, c.n), what);
        expect_value(c.chi2, pr::chi2_term(c.m, c.y, c.sigma, c.t), what);
    }
}

// Each noise model is a density of m: it integrates to one (over ln m for the log transforms,
// where dm = m d ln m), whatever the Jacobian term.
TEST(PetabLikelihood, DensitiesOfTheMeasurementIntegrateToOne) {
    const double y = 2.0, sigma = 0.3;
    for (Noise n : {Noise::Normal, Noise::Laplace}) {
        const double lin = simpson([&](double m) { return std::exp(pr::log_likelihood(m, y, sigma, Transform::Lin, n)); },
                                   y - 40 * sigma, y + 40 * sigma);
        EXPECT_NEAR(lin, 1.0, 1e-9) << "lin, noise " << static_cast<int>(n);
        for (Transform t : {Transform::Log, Transform::Log10}) {
            const double width = 40 * sigma * (t == Transform::Log10 ? kLn10 : 1.0);
            const double total = simpson(
                [&](double u) { return std::exp(pr::log_likelihood(std::exp(u), y, sigma, t, n) + u); },
                std::log(y) - width, std::log(y) + width);
            EXPECT_NEAR(total, 1.0, 1e-9) << "transform " << static_cast<int>(t) << ", noise " << static_cast<int>(n);
        }
    }
}

TEST(PetabPrior, MatchesClosedFormsAndVanishesOutsideTheSupport) {
    struct Case {
        PriorKind kind;
        std::vector<double> params;
        double x, xs;
        double density;   // 0: outside the support
    };
    const double g = std::tgamma(2.5);
    const Case cases[] = {
        {PriorKind::Uniform, {1.0, 5.0}, 2.0, -9.0, 0.25},
        {PriorKind::Uniform, {1.0, 5.0}, 5.5, 2.0, 0.0},
        {PriorKind::Normal, {1.0, 2.0}, 2.0, -9.0, std::exp(-0.125) / std::sqrt(8 * kPi)},
        {PriorKind::Laplace, {1.0, 2.0}, -1.0, -9.0, std::exp(-1.0) / 4.0},
        {PriorKind::LogNormal, {0.5, 0.8}, 3.0, -9.0,
         std::exp(-std::pow(std::log(3.0) - 0.5, 2) / 1.28) / (3.0 * std::sqrt(2 * kPi) * 0.8)},
        {PriorKind::LogNormal, {0.5, 0.8}, -3.0, 1.0, 0.0},
        {PriorKind::LogLaplace, {0.5, 0.8}, 3.0, -9.0, std::exp(-std::fabs(std::log(3.0) - 0.5) / 0.8) / (1.6 * 3.0)},
        {PriorKind::LogLaplace, {0.5, 0.8}, 0.0, 1.0, 0.0},
        {PriorKind::ParameterScaleUniform, {-2.0, 2.0}, 100.0, 1.5, 0.25},
        {PriorKind::ParameterScaleUniform, {-2.0, 2.0}, 1.0, 2.5, 0.0},
        {PriorKind::ParameterScaleNormal, {1.0, 2.0}, 100.0, 2.0, std::exp(-0.125) / std::sqrt(8 * kPi)},
        {PriorKind::ParameterScaleLaplace, {1.0, 2.0}, 100.0, -1.0, std::exp(-1.0) / 4.0},
        {PriorKind::Cauchy, {1.0, 2.0}, 4.0, -9.0, 1.0 / (kPi * 2.0 * (1.0 + 2.25))},
        {PriorKind::ChiSquared, {5.0}, 1.7, -9.0, std::pow(1.7, 1.5) * std::exp(-0.85) / (std::pow(2.0, 2.5) * g)},
        {PriorKind::ChiSquared, {5.0}, -1.7, 1.0, 0.0},
        {PriorKind::Exponential, {2.0}, 3.0, -9.0, 0.5 * std::exp(-1.5)},
        {PriorKind::Exponential, {2.0}, -1.0, 1.0, 0.0},
        {PriorKind::Gamma, {2.5, 1.5}, 2.0, -9.0, std::pow(2.0, 1.5) * std::exp(-2.0 / 1.5) / (g * std::pow(1.5, 2.5))},
        {PriorKind::Gamma, {2.5, 1.5}, 0.0, 1.0, 0.0},
        {PriorKind::LogUniform, {0.1, 10.0}, 2.0, -9.0, 1.0 / (2.0 * std::log(100.0))},
        {PriorKind::LogUniform, {0.1, 10.0}, 0.05, 1.0, 0.0},
        {PriorKind::Rayleigh, {1.5}, 2.0, -9.0, 2.0 / 2.25 * std::exp(-4.0 / 4.5)},
        {PriorKind::Rayleigh, {1.5}, -2.0, 1.0, 0.0},
        {PriorKind::Normal, {1.0, 2.0}, INFINITY, 1.0, 0.0},
        {PriorKind::Gamma, {2.5, 1.5}, INFINITY, 1.0, 0.0},
    };
    for (const auto &c : cases) {
        const std::string what = label("kind", static_cast<int>(c.kind), "at", c.x);
        ASSERT_EQ(pr::prior_parameter_count(c.kind), static_cast<int>(c.params.size())) << what;
        const double lp = pr::log_prior(c.kind, c.params.data(), static_cast<int>(c.params.size()), c.x, c.xs,
                                        false, 0.0, 0.0);
        expect_value(c.density > 0.0 ? std::log(c.density) : -INFINITY, lp, what);
    }
}

TEST(PetabPrior, InvalidParametersAreNamedAndGiveNoNumber) {
    struct Case {
        PriorKind kind;
        std::vector<double> params;
        const char *message;
    };
    const Case cases[] = {
        {PriorKind::Normal, {1.0}, "wrong number of prior parameters"},
        {PriorKind::Exponential, {1.0, 2.0}, "wrong number of prior parameters"},
        {PriorKind::Normal, {1.0, 0.0}, "the scale must be positive and finite"},
        {PriorKind::Cauchy, {NAN, 1.0}, "the location must be finite"},
        {PriorKind::Rayleigh, {-1.0}, "the scale must be positive and finite"},
        {PriorKind::Gamma, {0.0, 1.0}, "the shape must be positive and finite"},
        {PriorKind::Uniform, {2.0, 2.0}, "the bounds must be finite with lower < upper"},
        {PriorKind::ParameterScaleUniform, {0.0, INFINITY}, "the bounds must be finite with lower < upper"},
        {PriorKind::LogUniform, {0.0, 2.0}, "the bounds must be finite with 0 < lower < upper"},
    };
    for (const auto &c : cases) {
        const int n = static_cast<int>(c.params.size());
        const char *message = pr::prior_parameter_error(c.kind, c.params.data(), n);
        ASSERT_NE(message, nullptr) << c.message;
        EXPECT_STREQ(message, c.message);
        EXPECT_TRUE(std::isnan(pr::log_prior(c.kind, c.params.data(), n, 1.0, 1.0, false, 0.0, 0.0))) << c.message;
    }
}

// Truncated to the bounds, every prior is a density on them: it integrates to one, also where the
// bounds lie far in a tail; outside the bounds it vanishes.
TEST(PetabPrior, TruncatedDensitiesIntegrateToOneOverTheBounds) {
    struct Case {
        PriorKind kind;
        std::vector<double> params;
        double lower, upper;
    };
    const Case cases[] = {
        {PriorKind::Uniform, {1.0, 5.0}, 0.0, 3.0},
        {PriorKind::Normal, {1.0, 2.0}, -1.0, 4.0},
        {PriorKind::Normal, {0.0, 1.0}, 10.0, 11.0},
        {PriorKind::Normal, {0.0, 1.0}, -11.0, -10.0},
        {PriorKind::Laplace, {1.0, 0.5}, 0.5, 6.0},
        {PriorKind::Laplace, {0.0, 1.0}, 40.0, 42.0},
        {PriorKind::LogNormal, {0.0, 1.0}, 0.2, 5.0},
        {PriorKind::LogLaplace, {0.5, 0.8}, 1.0, 3.0},
        {PriorKind::ParameterScaleUniform, {-2.0, 2.0}, -1.0, 3.0},
        {PriorKind::ParameterScaleNormal, {1.0, 2.0}, 0.0, 1.0},
        {PriorKind::ParameterScaleLaplace, {1.0, 2.0}, -3.0, 0.0},
        {PriorKind::Cauchy, {1.0, 2.0}, -5.0, 20.0},
        {PriorKind::Cauchy, {0.0, 1.0}, 1e6, 2e6},
        {PriorKind::ChiSquared, {3.0}, 0.5, 8.0},
        {PriorKind::Exponential, {2.0}, 1.0, 3.0},
        {PriorKind::Exponential, {1.0}, 50.0, 51.0},
        {PriorKind::Gamma, {2.5, 1.5}, 0.2, 10.0},
        {PriorKind::Gamma, {0.5, 1.0}, 0.1, 3.0},
        {PriorKind::Gamma, {3.0, 1.0}, 60.0, 62.0},
        {PriorKind::LogUniform, {0.1, 10.0}, 0.5, 20.0},
        {PriorKind::Rayleigh, {1.5}, 0.5, 4.0},
    };
    for (const auto &c : cases) {
        const std::string what = label("kind", static_cast<int>(c.kind), "lower", c.lower, "upper", c.upper);
        const int n = static_cast<int>(c.params.size());
        const auto density = [&](double v) {
            return std::exp(pr::log_prior(c.kind, c.params.data(), n, v, v, true, c.lower, c.upper));
        };
        // Over where the density is positive: the quadrature does not straddle a uniform's jumps.
        double from = c.lower, to = c.upper;
        if (c.kind == PriorKind::Uniform || c.kind == PriorKind::ParameterScaleUniform ||
            c.kind == PriorKind::LogUniform) {
            from = std::max(from, c.params[0]);
            to = std::min(to, c.params[1]);
        }
        EXPECT_NEAR(simpson(density, from, to), 1.0, 1e-6) << what;
        EXPECT_EQ(density(c.lower - 1e-3 * (c.upper - c.lower)), 0.0) << what;
        EXPECT_EQ(density(c.upper + 1e-3 * (c.upper - c.lower)), 0.0) << what;
    }
    // Bounds where the prior has no mass: no density anywhere.
    const double p[] = {0.1, 10.0};
    EXPECT_EQ(pr::log_prior(PriorKind::LogUniform, p, 2, 20.0, 0.0, true, 15.0, 30.0), -INFINITY);
}

namespace {

// A tab-separated table as rows of column name -> field.
std::vector<std::map<std::string, std::string>> read_tsv(const fs::path &path) {
    std::vector<std::map<std::string, std::string>> rows;
    const auto lines = qv::test::split_lines(qv::test::read_file(path));
    const auto fields = [](const std::string &line) {
        std::vector<std::string> f(1);
        for (char ch : line) {
            if (ch == '\t') f.emplace_back();
            else if (ch != '\r') f.back() += ch;
        }
        return f;
    };
    if (lines.empty()) return rows;
    const auto header = fields(lines[0]);
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const auto f = fields(lines[i]);
        auto &row = rows.emplace_back();
        for (size_t k = 0; k < header.size() && k < f.size(); ++k) row[header[k]] = f[k];
    }
    return rows;
}

// The number after "key: " in a solution file.
double solution_value(const std::string &text, const std::string &key) {
    for (const auto &line : qv::test::split_lines(text))
        if (line.rfind(key + ": ", 0) == 0) return std::stod(line.substr(key.size() + 2));
    return NAN;
}

}  // namespace

// Cases of the public suite whose noise is a number: the likelihood and chi2 of the measurement
// table given the simulation table, as the suite's solution has them.
TEST(PetabLikelihood, ReproducesTheSuiteSolutionsFromItsTables) {
    const fs::path suite = fs::path(QV_PETAB_SUITE) / "v1.0.0/sbml";
    if (!fs::exists(suite)) GTEST_SKIP() << "no PEtab test suite at " << suite;
    for (const char *id : {"0001", "0002", "0007", "0016", "0018"}) {
        const fs::path dir = suite / id;
        std::map<std::string, std::map<std::string, std::string>> observables;
        for (auto &row : read_tsv(dir / "_observables.tsv")) observables[row["observableId"]] = row;
        const auto measurements = read_tsv(dir / "_measurements.tsv");
        const auto simulations = read_tsv(dir / "_simulations.tsv");
        ASSERT_EQ(measurements.size(), simulations.size()) << id;
        double llh = 0.0, chi2 = 0.0;
        for (size_t i = 0; i < measurements.size(); ++i) {
            auto m = measurements[i], s = simulations[i];
            ASSERT_EQ(m["observableId"], s["observableId"]) << id;
            ASSERT_EQ(m["time"], s["time"]) << id;
            auto &obs = observables.at(m["observableId"]);
            const std::string tr = obs["observableTransformation"], dist = obs["noiseDistribution"];
            const Transform t = tr == "log" ? Transform::Log : tr == "log10" ? Transform::Log10 : Transform::Lin;
            const Noise n = dist == "laplace" ? Noise::Laplace : Noise::Normal;
            const double sigma = std::stod(obs["noiseFormula"]);
            const double mv = std::stod(m["measurement"]), sv = std::stod(s["simulation"]);
            llh += pr::log_likelihood(mv, sv, sigma, t, n);
            chi2 += pr::chi2_term(mv, sv, sigma, t);
        }
        std::string name = "_";
        name += id;
        name += "_solution.yaml";
        const std::string solution = qv::test::read_file(dir / name);
        EXPECT_NEAR(llh, solution_value(solution, "llh"), 1e-9) << id;
        EXPECT_NEAR(chi2, solution_value(solution, "chi2"), 1e-9) << id;
    }
}
