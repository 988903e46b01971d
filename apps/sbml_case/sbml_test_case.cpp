// sbml_test_case: the SBML Test Suite wrapper convention.
//
//   sbml_test_case CASES_DIR CASE_ID OUT_DIR LEVEL VERSION
//
// Reads CASES_DIR/CASE_ID/CASE_ID-settings.txt and the model CASE_ID-sbml-lLEVELvVERSION.xml,
// imports, builds and simulates it and writes OUT_DIR/CASE_ID.csv (header "time,<variables>", one
// row per output time). Exit status: 0 written, 3 the model is outside the model class (the reason
// on standard error, nothing written), 1 any other failure, 2 bad usage.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

#include "case_runner.h"
#include "subprocess.h"

namespace {

namespace sc = qv::sbml_case;
namespace fs = std::filesystem;

constexpr char kUsage[] = "usage: sbml_test_case CASES_DIR CASE_ID OUT_DIR LEVEL VERSION\n";
constexpr int kMaxLevel = 3;

bool parseSmall(const char *s, int *out) {
    char *end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < 1 || v > kMaxLevel * 10) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int level = 0, version = 0;
    if (argc != 6 || !parseSmall(argv[4], &level) || !parseSmall(argv[5], &version)) {
        std::fputs(kUsage, stderr);
        return sc::kExitUsage;
    }
    const std::string casesDir = argv[1], id = argv[2], outDir = argv[3];
    std::error_code ec;
    if (!fs::is_directory(outDir, ec)) {
        std::fprintf(stderr, "sbml_test_case: %s: no such output directory\n", outDir.c_str());
        return sc::kExitFailed;
    }
    if (!sc::isValidCaseId(id)) {
        std::fprintf(stderr, "sbml_test_case: bad case id '%s'\n", id.c_str());
        return sc::kExitFailed;
    }
    sc::TempDir work;
    if (!work.ok()) {
        std::fputs("sbml_test_case: cannot make a temporary directory\n", stderr);
        return sc::kExitFailed;
    }
    // The CSV goes to a temporary name next to its final one and is renamed when complete, so that
    // a failed run never leaves a partial file over an earlier result.
    const std::string finalPath = outDir + "/" + id + ".csv";
    const std::string partPath = outDir + "/." + id + ".csv." + std::to_string(getpid()) + ".part";
    const sc::CaseOutcome outcome = sc::runCase(casesDir, id, sc::modelPath(casesDir, id, level, version),
                                                work.path(), partPath, nullptr);
    if (outcome.status == sc::CaseStatus::Written) {
        fs::rename(partPath, finalPath, ec);
        if (ec) {
            std::fprintf(stderr, "sbml_test_case: cannot write %s: %s\n", finalPath.c_str(),
                         ec.message().c_str());
            fs::remove(partPath, ec);
            return sc::kExitFailed;
        }
        return sc::kExitWritten;
    }
    fs::remove(partPath, ec);
    if (outcome.status == sc::CaseStatus::Refused)
        std::fprintf(stderr, "sbml_test_case: %s refused: %s\n", id.c_str(), outcome.message.c_str());
    else
        std::fprintf(stderr, "sbml_test_case: %s: %s\n", id.c_str(), outcome.message.c_str());
    return sc::exitStatusOf(outcome.status);
}
