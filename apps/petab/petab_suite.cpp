// Each case: its problem evaluated at the nominal values, then llh, chi2 and every simulated value
// compared with the case's solution within its tolerances.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <yaml-cpp/yaml.h>

#include "petab_suite.h"
#include "problem_evaluation.h"

#include "quorvant/petab/tsv_table.h"

namespace qv::petab_tool {

namespace {

namespace fs = std::filesystem;

enum class Verdict { Passed, Refused, Failed };

struct CaseResult {
    Verdict verdict = Verdict::Failed;
    std::string detail;
};

struct Solution {
    double llh = 0.0, chi2 = 0.0;
    double tol_llh = 1e-3, tol_chi2 = 1e-3, tol_simulations = 1e-3;
    std::vector<std::string> simulation_files;
};

std::string read_solution(const std::string &path, Solution &s) {
    try {
        const YAML::Node y = YAML::LoadFile(path);
        s.llh = y["llh"].as<double>();
        s.chi2 = y["chi2"].as<double>();
        if (y["tol_llh"]) s.tol_llh = y["tol_llh"].as<double>();
        if (y["tol_chi2"]) s.tol_chi2 = y["tol_chi2"].as<double>();
        if (y["tol_simulations"]) s.tol_simulations = y["tol_simulations"].as<double>();
        if (y["simulation_files"])
            for (const auto &f : y["simulation_files"]) s.simulation_files.push_back(f.as<std::string>());
    } catch (const std::exception &e) {
        return path + ": " + e.what();
    }
    return "";
}

std::string full(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

bool refusal(const std::string &msg) {
    return msg.find("refused: ") != std::string::npos || msg.find("not supported") != std::string::npos;
}

CaseResult run_case(const std::string &dir, const std::string &id) {
    const std::string yaml = dir + "/_" + id + ".yaml";
    Solution sol;
    if (std::string msg = read_solution(dir + "/_" + id + "_solution.yaml", sol); !msg.empty()) return {Verdict::Failed, msg};
    Evaluation e;
    if (std::string msg = evaluate_problem(yaml, "", default_work_dir(yaml), e); !msg.empty())
        return {refusal(msg) ? Verdict::Refused : Verdict::Failed, msg};
    if (e.failed > 0) return {Verdict::Failed, "simulation failed: " + e.failure};
    if (!(std::fabs(e.llh - sol.llh) <= sol.tol_llh))
        return {Verdict::Failed, "llh " + full(e.llh) + ", expected " + full(sol.llh)};
    if (!(std::fabs(e.chi2 - sol.chi2) <= sol.tol_chi2))
        return {Verdict::Failed, "chi2 " + full(e.chi2) + ", expected " + full(sol.chi2)};
    size_t row = 0;
    for (const auto &f : sol.simulation_files) {
        qv::petab::TsvTable t;
        if (std::string msg = qv::petab::read_tsv(dir + "/" + f, t); !msg.empty()) return {Verdict::Failed, msg};
        const int col = t.column("simulation");
        if (col < 0) return {Verdict::Failed, f + ": no column 'simulation'"};
        for (size_t r = 0; r < t.rows.size(); ++r, ++row) {
            double expected = 0.0;
            if (!qv::petab::parse_number(t.rows[r][static_cast<size_t>(col)], expected).empty())
                return {Verdict::Failed, t.where(r, col) + "not a number"};
            if (row >= e.simulated.size()) return {Verdict::Failed, f + ": more rows than measurements"};
            const double got = e.simulated[row];
            if (!(std::fabs(got - expected) <= sol.tol_simulations))
                return {Verdict::Failed, "simulation of row " + std::to_string(row + 1) + ": " + full(got) + ", expected " + full(expected)};
        }
    }
    if (row != e.simulated.size()) return {Verdict::Failed, "the solution has " + std::to_string(row) + " simulated rows for " +
                                                              std::to_string(e.simulated.size()) + " measurements"};
    return {Verdict::Passed, ""};
}

}  // namespace

int run_suite(const std::string &cases_dir, int jobs, long min_passed) {
    std::vector<std::string> ids;
    std::error_code ec;
    for (fs::directory_iterator it(cases_dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == 4 && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            fs::exists(it->path() / ("_" + name + ".yaml")))
            ids.push_back(name);
    }
    if (ec || ids.empty()) {
        std::fprintf(stderr, "petab-suite: no cases in %s\n", cases_dir.c_str());
        return 1;
    }
    std::sort(ids.begin(), ids.end());
    std::vector<CaseResult> results(ids.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t k; (k = next++) < ids.size();) results[k] = run_case(cases_dir + "/" + ids[k], ids[k]);
    };
    std::vector<std::thread> pool;
    for (int j = 0; j < std::max(1, jobs); ++j) pool.emplace_back(worker);
    for (auto &t : pool) t.join();
    int passed = 0, refused = 0, failed = 0;
    for (size_t k = 0; k < ids.size(); ++k) {
        const CaseResult &r = results[k];
        switch (r.verdict) {
        case Verdict::Passed: ++passed; std::printf("%s passed\n", ids[k].c_str()); break;
        case Verdict::Refused: ++refused; std::printf("%s refused: %s\n", ids[k].c_str(), r.detail.c_str()); break;
        case Verdict::Failed: ++failed; std::printf("%s failed: %s\n", ids[k].c_str(), r.detail.c_str()); break;
        }
    }
    std::printf("passed %d, refused %d, failed %d\n", passed, refused, failed);
    return min_passed >= 0 && passed < min_passed ? 1 : 0;
}

}  // namespace qv::petab_tool
