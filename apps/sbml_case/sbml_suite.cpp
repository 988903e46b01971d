// sbml_suite: runs SBML Test Suite cases and compares them with their expected results.
//
//   sbml_suite [CASES_DIR] [--sample [FILE]] [-j N] [--min-passed K]
//
// CASES_DIR defaults to ../shared/sbml-cases beside the source tree. Every subdirectory holding an
// <id>-settings.txt is a case, or only the ids listed in FILE (one per line, '#' comments); a bare
// --sample runs the cases delivered with the tests (tests/sbml_case/cases). Each case runs with the
// model of the highest level and version it offers. One line per case in id order, then the
// totals. Exit status 0 when the cases ran, 1 when fewer than K passed or the cases cannot be
// listed, 2 bad usage.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "case_compare.h"
#include "case_runner.h"
#include "sbml_case_config.h"
#include "subprocess.h"

namespace {

namespace sc = qv::sbml_case;
namespace fs = std::filesystem;

constexpr char kUsage[] = "usage: sbml_suite [CASES_DIR] [--sample [FILE]] [-j N] [--min-passed K]\n";
constexpr char kDefaultCases[] = "/../shared/sbml-cases";
constexpr char kSampleCases[] = "/tests/sbml_case/cases";
constexpr int kMaxJobs = 64;
constexpr long kMaxMinPassed = 1000000;

enum class Verdict { Passed, Refused, Failed };

struct CaseResult {
    Verdict verdict = Verdict::Failed;
    std::string detail;
    bool done = false;
};

struct Options {
    std::string casesDir;
    std::string sampleFile;
    bool defaulted = false;   // casesDir was not given
    int jobs = 1;
    long minPassed = -1;
};

bool parseCount(const char *s, long lo, long hi, long *out) {
    char *end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Returns "" or the usage fault.
std::string parseOptions(int argc, char **argv, Options *o) {
    bool sampleDir = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        long v = 0;
        if (arg == "--sample") {
            std::error_code ec;
            if (a + 1 < argc && argv[a + 1][0] != '-' && fs::is_regular_file(argv[a + 1], ec))
                o->sampleFile = argv[++a];
            else
                sampleDir = true;
        } else if (arg == "-j" || arg == "--min-passed") {
            if (a + 1 == argc) return arg + " needs a value";
            const bool jobs = arg == "-j";
            if (!parseCount(argv[a + 1], jobs ? 1 : 0, jobs ? kMaxJobs : kMaxMinPassed, &v))
                return "bad value for " + arg + ": '" + argv[a + 1] + "'";
            if (jobs)
                o->jobs = static_cast<int>(v);
            else
                o->minPassed = v;
            ++a;
        } else if (arg.rfind("-j", 0) == 0) {
            if (!parseCount(arg.c_str() + 2, 1, kMaxJobs, &v)) return "bad value for -j: '" + arg.substr(2) + "'";
            o->jobs = static_cast<int>(v);
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (o->casesDir.empty()) {
            o->casesDir = arg;
        } else {
            return "more than one cases directory";
        }
    }
    o->defaulted = o->casesDir.empty();
    if (o->defaulted)
        o->casesDir = std::string(qv::sbml_case::config::kSourceDir) + (sampleDir ? kSampleCases : kDefaultCases);
    return "";
}

// Case ids: those of the sample file, or every subdirectory with a settings file; sorted.
std::string listCases(const Options &o, std::vector<std::string> *ids) {
    std::error_code ec;
    if (!fs::is_directory(o.casesDir, ec))
        return o.defaulted ? "no CASES_DIR given and " + o.casesDir + " does not exist"
                           : o.casesDir + ": no such cases directory";
    if (!o.sampleFile.empty()) {
        std::ifstream in(o.sampleFile);
        if (!in) return "cannot read " + o.sampleFile;
        std::string line;
        while (std::getline(in, line)) {
            line = line.substr(0, line.find('#'));
            std::stringstream words(line);
            std::string id;
            while (words >> id) ids->push_back(id);
        }
    } else {
        for (fs::directory_iterator it(o.casesDir, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string id = it->path().filename().string();
            if (fs::is_regular_file(it->path() / (id + "-settings.txt"), ec)) ids->push_back(id);
        }
        if (ec) return o.casesDir + ": " + ec.message();
    }
    std::sort(ids->begin(), ids->end());
    ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
    if (ids->empty()) return "no cases in " + o.casesDir;
    return "";
}

CaseResult runOne(const std::string &casesDir, const std::string &id) {
    sc::TempDir work;
    if (!work.ok()) return {Verdict::Failed, "cannot make a temporary directory", true};
    if (!sc::isValidCaseId(id)) return {Verdict::Failed, "bad case id '" + id + "'", true};
    const std::string model = sc::highestModelPath(casesDir, id);
    if (model.empty()) return {Verdict::Failed, "no model file in " + casesDir + "/" + id, true};
    const std::string csv = work.path() + "/" + id + ".csv";
    sc::CaseSettings settings;
    const sc::CaseOutcome out = sc::runCase(casesDir, id, model, work.path(), csv, &settings);
    if (out.status == sc::CaseStatus::Refused) return {Verdict::Refused, out.message, true};
    if (out.status == sc::CaseStatus::Failed) return {Verdict::Failed, out.message, true};
    sc::CsvTable computed, expected;
    std::string why = sc::readCsv(csv, &computed);
    if (why.empty()) why = sc::readCsv(casesDir + "/" + id + "/" + id + "-results.csv", &expected);
    if (why.empty()) why = sc::compareTables(computed, expected, settings.absolute, settings.relative);
    return {why.empty() ? Verdict::Passed : Verdict::Failed, why, true};
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    const std::string usage = parseOptions(argc, argv, &o);
    if (!usage.empty()) {
        std::fprintf(stderr, "sbml_suite: %s\n%s", usage.c_str(), kUsage);
        return sc::kExitUsage;
    }
    std::vector<std::string> ids;
    const std::string why = listCases(o, &ids);
    if (!why.empty()) {
        std::fprintf(stderr, "sbml_suite: %s\n", why.c_str());
        return sc::kExitFailed;
    }

    // Workers take the next case; lines are printed in id order as soon as all earlier cases are
    // done, so that the output is the same for any number of jobs.
    std::vector<CaseResult> results(ids.size());
    std::atomic<size_t> next{0};
    std::mutex lock;
    size_t printed = 0;
    long counts[3] = {0, 0, 0};
    auto work = [&]() {
        for (size_t k = next++; k < ids.size(); k = next++) {
            CaseResult r = runOne(o.casesDir, ids[k]);
            std::lock_guard<std::mutex> guard(lock);
            results[k] = std::move(r);
            for (; printed < ids.size() && results[printed].done; ++printed) {
                const CaseResult &p = results[printed];
                ++counts[static_cast<int>(p.verdict)];
                if (p.verdict == Verdict::Passed)
                    std::printf("%s passed\n", ids[printed].c_str());
                else
                    std::printf("%s %s: %s\n", ids[printed].c_str(),
                                p.verdict == Verdict::Refused ? "refused" : "failed", p.detail.c_str());
                std::fflush(stdout);
            }
        }
    };
    std::vector<std::thread> pool;
    const int jobs = std::min<int>(o.jobs, static_cast<int>(ids.size()));
    for (int j = 1; j < jobs; ++j) pool.emplace_back(work);
    work();
    for (auto &t : pool) t.join();

    std::printf("passed %ld, refused %ld, failed %ld\n", counts[0], counts[1], counts[2]);
    if (o.minPassed >= 0 && counts[0] < o.minPassed) {
        std::fprintf(stderr, "sbml_suite: %ld passed, fewer than the required %ld\n", counts[0], o.minPassed);
        return sc::kExitFailed;
    }
    return 0;
}
