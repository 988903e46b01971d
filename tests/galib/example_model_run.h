// Runs a delivered example model as gasearch evaluates it: the model file loaded, the values of
// the search variables written into ParamT, one simulation in search mode, the model's own
// fitness of the stored time course. Also a finite-difference check of the model's Jacobian.
#ifndef QUORVANT_TESTS_EXAMPLE_MODEL_RUN_H
#define QUORVANT_TESTS_EXAMPLE_MODEL_RUN_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"

class ExampleRun {
public:
    ExampleRun() = default;
    ExampleRun(const ExampleRun &) = delete;
    ExampleRun &operator=(const ExampleRun &) = delete;
    ~ExampleRun() {
        SolutionMatrix = nullptr;
        SolutionRows = 0;
    }

    // Loads models/<file>; false if the reader refuses it. Runs go to the solution matrix even
    // for a file without search ranges.
    bool load(const std::string &file) {
        resetParamTab();
        resetInputData();
        std::fill(std::begin(y0_), std::end(y0_), 0.0);
        const std::string path = std::string(QV_SOURCE_DIR) + "/models/" + file;
        if (Set_data(y0_, &t0_, &t1_, &dt_, &dm_, path.c_str()) != 0) return false;
        F_GA = 1;
        copyParameter(*snap_, Param);
        copyParameter(*target_, ParamT);
        const int rows = static_cast<int>((t1_ - t0_) / dm_) + 50;
        const int cols = ParamT.n_var + 1;
        storage_.assign(static_cast<size_t>(rows) * cols, 0.0);
        rows_.clear();
        for (int r = 0; r < rows; ++r) rows_.push_back(storage_.data() + static_cast<size_t>(r) * cols);
        SolutionMatrix = rows_.data();
        SolutionRows = rows;
        return true;
    }

    // One simulation with these values of the search variables (file order); DoSolver's status.
    int simulate(const std::vector<double> &values) {
        copyParameter(ParamT, *target_);
        for (size_t k = 0; k < values.size() && k < static_cast<size_t>(P_GaNum); ++k)
            ParamT.val[P_Ga[k].p_no][P_Ga[k].index] = values[k];
        double yInit[qv::kStateSize], y[qv::kStateSize], yPre[qv::kStateSize];
        std::copy(std::begin(y0_), std::end(y0_), yInit);
        std::copy(std::begin(y0_), std::end(y0_), y);
        std::copy(std::begin(y0_), std::end(y0_), yPre);
        StepNum = 0;
        return DoSolver(*snap_, dt_, t0_, t1_, dm_, yInit, y, yPre);
    }

    // The model's fitness of the stored rows (as many as given, default all) with this status.
    double fitness(int status, int numSteps = -1) const {
        double f = NAN;
        QvUsrFitness(SolutionMatrix, numSteps < 0 ? StepNum : numSteps, ParamT.n_var, status, &f);
        return f;
    }

    double *row(int r) { return rows_[static_cast<size_t>(r)]; }

private:
    double y0_[qv::kStateSize] = {};
    double t0_ = 0, t1_ = 0, dt_ = 0, dm_ = 0;
    std::unique_ptr<parameter> snap_ = std::make_unique<parameter>();
    std::unique_ptr<parameter> target_ = std::make_unique<parameter>();
    std::vector<double> storage_;
    std::vector<double *> rows_;
};

// Largest deviation of usr_fjac at y from central differences of usr_fvec, each relative to
// max(1, |entry|), for the n variables of the loaded model with the values of Param.
inline double jacobianError(const std::vector<double> &state) {
    const int n = static_cast<int>(state.size()) - 1;
    std::vector<double> jacStore(static_cast<size_t>(n + 1) * qv::kStateSize, 0.0);
    std::vector<double *> jac;
    for (int i = 0; i <= n; ++i) jac.push_back(jacStore.data() + static_cast<size_t>(i) * qv::kStateSize);
    std::vector<double> y(state), fp(qv::kStateSize), fm(qv::kStateSize);
    usr_fjac(jac.data(), y.data(), 1.0, &Param);
    double worst = 0.0;
    for (int j = 1; j <= n; ++j) {
        const double h = 1e-6 * std::max(1.0, std::fabs(state[j]));
        y[j] = state[j] + h;
        usr_fvec(fp.data(), y.data(), 1.0, &Param);
        y[j] = state[j] - h;
        usr_fvec(fm.data(), y.data(), 1.0, &Param);
        y[j] = state[j];
        for (int i = 1; i <= n; ++i) {
            const double fd = (fp[i] - fm[i]) / (2.0 * h);
            worst = std::max(worst, std::fabs(jac[i][j] - fd) / std::max(1.0, std::fabs(fd)));
        }
    }
    return worst;
}

#endif
