// Loading model files written into a temporary directory, with the system log captured.
#ifndef QUORVANT_TEST_SET_DATA_FIXTURE_H
#define QUORVANT_TEST_SET_DATA_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"

// A small time-course model: 3 variables, G_VALUE 2, parameters k1 and constantPlayer.
inline const std::string kTimeCourseHead =
    "SOLVER;1\n"
    "N_VAR;3\n"
    "G_VALUE;2\n"
    "PARAM_NAME;k1\n"
    "PARAM_NAME;constantPlayer\n"
    "T_START;0\n"
    "T_END;10\n"
    "DELTA_T;0.1\n"
    "DELTA_M;1\n"
    "Y_START;1;1\n"
    "Y_START;2;1\n"
    "Y_START;3;1\n";

class ModelFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qv_set_data_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        P_GaMax = qv::kMaxGaSearch;
    }
    void TearDown() override {
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
        resetParamTab();
        resetInputData();
        P_GaMax = qv::kMaxGaSearch;
    }

    // Writes text as the model file and loads it with Set_data from a fresh state.
    int load(const std::string &text) {
        path_ = dir_ + "/model.txt";
        FILE *fp = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(fp, nullptr);
        std::fwrite(text.data(), 1, text.size(), fp);
        std::fclose(fp);
        resetParamTab();
        resetInputData();
        for (double &v : y) v = -99.0;
        t_start = t_end = dt = dm = -99.0;
        testing::internal::CaptureStdout();
        const int rc = Set_data(y, &t_start, &t_end, &dt, &dm, path_.c_str());
        log = testing::internal::GetCapturedStdout();
        return rc;
    }

    std::string dir_;
    std::string path_;
    double y[qv::kStateSize];
    double t_start, t_end, dt, dm;
    std::string log;
};

#endif
