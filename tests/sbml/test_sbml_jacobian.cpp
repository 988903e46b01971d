// The exact Jacobian of every imported model against central differences of its right-hand side,
// at the start state and at two perturbed states; entries the importer leaves out must be zero.
// Models: the SBML Test Suite cases on this machine, the sample in the repository and the
// importer's own test models.
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/sbml/model_jacobian.h"
#include "quorvant/sbml/sbml_reader.h"

namespace sb = qv::sbml;
namespace fs = std::filesystem;

namespace {

constexpr double kRelTol = 1e-5;

// One SBML file per case directory (the Level 3 Version 2 model when there is one), and every
// .xml of the importer's own model directories.
std::vector<fs::path> models() {
    std::vector<fs::path> out;
    for (const fs::path &dir : {fs::path(QV_SBML_CASES), fs::path(QV_SOURCE_DIR) / "tests/sbml_case/cases"}) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        for (const auto &c : fs::directory_iterator(dir)) {
            const std::string id = c.path().filename().string();
            for (const char *lv : {"l3v2", "l3v1", "l2v5", "l2v4"}) {
                const fs::path f = c.path() / (id + "-sbml-" + lv + ".xml");
                if (fs::exists(f)) {
                    out.push_back(f);
                    break;
                }
            }
        }
    }
    for (const fs::path &dir : {fs::path(QV_SOURCE_DIR) / "tests/sbml/models", fs::path(QV_SOURCE_DIR) / "models/sbml_example"}) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        for (const auto &f : fs::directory_iterator(dir))
            if (f.path().extension() == ".xml") out.push_back(f.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A bound on the size of e's terms: the rounding noise of e is about machine epsilon times this,
// even where the terms cancel.
double magnitude(const sb::Expr &e, const sb::Values &v) {
    switch (e->op) {
    case sb::Op::Add: {
        double s = 0.0;
        for (const auto &t : e->args) s += magnitude(t, v);
        return s;
    }
    case sb::Op::Mul: {
        double s = 1.0;
        for (const auto &t : e->args) s *= magnitude(t, v);
        return s;
    }
    case sb::Op::Neg: return magnitude(e->args[0], v);
    default: return std::fabs(sb::eval(e, v));
    }
}

double rhs_at(const sb::Expr &f, std::vector<double> y, const std::vector<double> &p, int j, double yj) {
    y[static_cast<size_t>(j)] = yj;
    return sb::eval(f, {y, p, {}});
}

}  // namespace

TEST(SbmlJacobian, ExactJacobianMatchesDifferencesOnEveryModel) {
    const auto files = models();
    ASSERT_FALSE(files.empty());
    int imported = 0, compared = 0;
    for (const auto &file : files) {
        sb::ImportedModel m;
        const std::string err = sb::import_sbml(file.string(), {}, m);
        if (!err.empty()) {
            // Outside the model class: a refusal that names its reason, nothing else.
            EXPECT_EQ(err.rfind("refused: ", 0), 0u) << file << ": " << err;
            continue;
        }
        ++imported;
        const std::vector<sb::Expr> rhs = sb::inlined_rhs(m);
        std::map<std::pair<int, int>, sb::Expr> jac;
        for (const auto &e : sb::jacobian(rhs)) jac[{e.row, e.col}] = e.value;
        std::vector<double> p{0.0};
        for (const auto &q : m.params) p.push_back(q.value);
        const size_t n = m.states.size();
        for (int trial = 0; trial < 3; ++trial) {
            std::vector<double> y{0.0};
            for (size_t k = 0; k < n; ++k) {
                const double y0 = m.states[k].initial;
                // Perturbed states move every variable by a different factor (and off zero).
                y.push_back(trial == 0 ? y0 : y0 * (1.0 + 0.1 * trial * std::sin(1.0 + k)) + 0.01 * trial);
            }
            for (size_t i = 0; i < n; ++i) {
                for (size_t j = 1; j <= n; ++j) {
                    const double h = 1e-6 * std::fmax(std::fabs(y[j]), 1e-3);
                    const int col = static_cast<int>(j);
                    auto central = [&](double step) {
                        return (rhs_at(rhs[i], y, p, col, y[j] + step) - rhs_at(rhs[i], y, p, col, y[j] - step)) / (2 * step);
                    };
                    const double fd = central(h), fd_half = central(h / 2);
                    auto it = jac.find({static_cast<int>(i) + 1, col});
                    const double exact = it == jac.end() ? 0.0 : sb::eval(it->second, {y, p, {}});
                    const double noise = 1e-14 * magnitude(rhs[i], {y, p, {}}) / h;
                    const double tol = kRelTol * (std::fabs(exact) + std::fabs(fd)) + noise + 1e-300;
                    // Not differentiable here (a pole, or a step of floor, ceil or piecewise): the
                    // differences do not settle when the step is halved.
                    if (!std::isfinite(fd) || !std::isfinite(fd_half) || std::fabs(fd - fd_half) > tol) continue;
                    EXPECT_LE(std::fabs(exact - fd), tol)
                        << file.filename() << " trial " << trial << ": d f[" << i + 1 << "] / d y[" << j
                        << "] exact " << exact << " differences " << fd << (it == jac.end() ? " (no entry)" : "");
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(imported, 0);
    RecordProperty("models", imported);
    RecordProperty("entries", compared);
}
