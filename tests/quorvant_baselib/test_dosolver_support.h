// Shared set-up of the driver tests: a loaded-model state built directly in the tables, and the
// text the driver wrote to its result stream.
#ifndef QUORVANT_TEST_DOSOLVER_SUPPORT_H
#define QUORVANT_TEST_DOSOLVER_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"
#include "test_model.h"

class DriverTest : public ::testing::Test {
protected:
    double yInit[qv::kStateSize] = {};
    double y[qv::kStateSize] = {};
    double yPre[qv::kStateSize] = {};
    parameter snap{};
    FILE *out = nullptr;

    // Parameter names in model order, then the four event names, as the reader leaves them.
    void SetUp() override {
        resetParamTab();
        resetInputData();
        for (const char *name : {"k", "kb", "y_force", "y_add", "time_start", "time_end"})
            ASSERT_EQ(addParam2Tab(name), 0);
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        Fp_out = out;
        F_GA = 0;
        SolverNo = 1;
        GeneConc = 1.0;
        StepNum = 0;
        SolutionMatrix = nullptr;
        SolutionRows = 0;
    }

    void TearDown() override {
        Fp_out = nullptr;
        std::fclose(out);
        setTestModel(nullptr, nullptr);
        resetParamTab();
        resetInputData();
    }

    // Sizes and parameter k (number 1) as the reader would leave them.
    void loadModel(int n, int nAlgebraic, double k = 1.0) {
        ParamT.n_var = n;
        ParamT.n_varNR = nAlgebraic;
        ParamT.n_val[1] = 1;
        ParamT.val[1][1] = k;
        Param = ParamT;
        ParamP = ParamT;
    }

    // Events must be added in time order (the reader sorts them).
    void addEvent(const char *name, int index, double time, double value) {
        Events[EventsNum++] = event{Name2Pno(name), index, time, value};
    }

    int run(double dt, double t_start, double t_end, double dm) {
        snap = Param;
        std::copy(yInit, yInit + qv::kStateSize, y);
        std::copy(yInit, yInit + qv::kStateSize, yPre);
        return DoSolver(snap, dt, t_start, t_end, dm, yInit, y, yPre);
    }

    std::string text() {
        std::fflush(out);
        std::rewind(out);
        std::string s;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, out)) > 0) s.append(buf, n);
        return s;
    }

    // The data rows of the text time course: {t, y1, ..., yn} per line after the header.
    std::vector<std::vector<double>> rows() {
        std::vector<std::vector<double>> r;
        std::istringstream in(text());
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line.rfind("Time", 0) == 0 || line[0] == '$') continue;
            std::vector<double> row;
            std::istringstream fields(line);
            std::string f;
            while (std::getline(fields, f, ',')) row.push_back(std::stod(f));
            r.push_back(row);
        }
        return r;
    }
};

#endif
