// The steps of one case. Each external step (importer, compiler, case program) is a child process
// with its output in a log file of the work directory; a failing step's message quotes that log.
#include "case_runner.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "sbml_case_config.h"
#include "subprocess.h"

namespace qv::sbml_case {

namespace {

namespace fs = std::filesystem;

// Time limits of the child processes, in seconds: generous for a loaded machine and the sanitizer
// build; a suite case normally takes about half a second in all.
constexpr double kImportSeconds = 120;
constexpr double kBuildSeconds = 600;
constexpr double kSimulateSeconds = 60;

// The solver runs this much tighter than the comparison, so that its own error stays well inside
// the tolerance the results are judged by.
constexpr double kSolverTighter = 1e-3;
// Smallest solver tolerances asked for, so that a case compared without tolerance (0) still gives
// the solver an error test it can meet in double precision.
constexpr double kMinSolverAtol = 1e-14;
constexpr double kMinSolverRtol = 1e-12;

// The importer's line for a model outside the model class starts with this.
constexpr char kRefusalPrefix[] = "sbml_import: refused: ";

std::string real(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// The line of a log that best says why a step failed: the first one containing `marker`, else the
// first non-blank one.
std::string reasonIn(const std::string &log, const std::string &marker) {
    std::stringstream in(log);
    std::string line, first;
    while (std::getline(in, line)) {
        if (!marker.empty() && line.find(marker) != std::string::npos) return line;
        if (first.empty() && line.find_first_not_of(" \t\r") != std::string::npos) first = line;
    }
    return first.empty() ? "(no message)" : first;
}

// The model core's first error line ("... Failed!!", "## Error!! ..."), or "" when there is none.
// Warnings about negative values are not faults.
std::string solverFault(const std::string &log) {
    std::stringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.find("!!") != std::string::npos && line.find("Negative Value") == std::string::npos)
            return line;
    return "";
}

std::string describe(const ProcessResult &r, const std::string &what, double limit) {
    if (!r.started) return what + ": " + r.error;
    if (r.timedOut) return what + " took longer than " + real(limit) + " s";
    if (r.signal != 0) return what + " ended by signal " + std::to_string(r.signal);
    return what + " exited with status " + std::to_string(r.exitCode);
}

CaseOutcome failed(std::string message) { return CaseOutcome{CaseStatus::Failed, std::move(message)}; }

}  // namespace

int exitStatusOf(CaseStatus status) {
    switch (status) {
    case CaseStatus::Written: return kExitWritten;
    case CaseStatus::Refused: return kExitRefused;
    case CaseStatus::Failed: break;
    }
    return kExitFailed;
}

bool isValidCaseId(const std::string &id) {
    return !id.empty() && id != "." && id != ".." && id.find('/') == std::string::npos &&
           id.find('\0') == std::string::npos;
}

std::string modelPath(const std::string &casesDir, const std::string &id, int level, int version) {
    return casesDir + "/" + id + "/" + id + "-sbml-l" + std::to_string(level) + "v" +
           std::to_string(version) + ".xml";
}

std::string highestModelPath(const std::string &casesDir, const std::string &id) {
    const std::string prefix = id + "-sbml-l";
    std::string best;
    int bestLevel = 0, bestVersion = 0;
    std::error_code ec;
    for (fs::directory_iterator it(casesDir + "/" + id, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        int level = 0, version = 0;
        char tail[8] = "";
        if (name.rfind(prefix, 0) != 0) continue;
        if (std::sscanf(name.c_str() + prefix.size(), "%dv%d%7s", &level, &version, tail) != 3 ||
            std::string(tail) != ".xml")
            continue;
        if (level > bestLevel || (level == bestLevel && version > bestVersion)) {
            bestLevel = level;
            bestVersion = version;
            best = it->path().string();
        }
    }
    return best;
}

std::string buildCaseProgram(const std::string &workDir) {
    std::vector<std::string> cmd{config::kCompiler};
    for (const char *const *f = config::kCompileFlags; *f; ++f) cmd.emplace_back(*f);
    cmd.push_back(std::string("-I") + config::kIncludeDir);
    cmd.push_back(workDir + "/model.cpp");
    cmd.push_back("-o");
    cmd.push_back(workDir + "/case");
    for (const char *const *f = config::kLinkFlags; *f; ++f) cmd.emplace_back(*f);
    // The archives are listed callers first, so one pass of the linker resolves them.
    for (const char *const *a = config::kKitArchives; *a; ++a) cmd.emplace_back(*a);
    cmd.emplace_back("-lm");
    const std::string log = workDir + "/build.log";
    const ProcessResult r = runProcess(cmd, log, kBuildSeconds);
    if (r.ok()) return "";
    const std::string why = describe(r, "compiling the generated model", kBuildSeconds);
    return r.started && !r.timedOut ? why + ": " + reasonIn(readText(log), "error") : why;
}

CaseOutcome runCase(const std::string &casesDir, const std::string &id, const std::string &model,
                    const std::string &workDir, const std::string &csvPath, CaseSettings *settings) {
    // 1. Settings and model file.
    if (!isValidCaseId(id)) return failed("bad case id '" + id + "'");
    const std::string caseDir = casesDir + "/" + id;
    std::error_code ec;
    if (!fs::is_directory(caseDir, ec)) return failed("no case directory " + caseDir);
    CaseSettings s;
    const std::string why = readSettings(caseDir + "/" + id + "-settings.txt", &s);
    if (!why.empty()) return failed(why);
    if (settings) *settings = s;
    if (!fs::is_regular_file(model, ec)) return failed("no model file " + model);
    if (*config::kImporter == '\0') return failed("this build has no SBML importer (libSBML was not found)");

    // 2. Import: model.cpp and model.in for the case's time grid.
    const std::string importLog = workDir + "/import.log";
    const ProcessResult imp = runProcess(
        {config::kImporter, model, workDir, "--t-start", real(s.start), "--t-end", real(s.end()),
         "--points", std::to_string(s.steps), "--atol", real(std::max(s.absolute * kSolverTighter, kMinSolverAtol)),
         "--rtol", real(std::max(s.relative * kSolverTighter, kMinSolverRtol)), "--force"},
        importLog, kImportSeconds);
    if (!imp.ok()) {
        const std::string line = reasonIn(readText(importLog), kRefusalPrefix);
        if (imp.exitCode == 1 && line.rfind(kRefusalPrefix, 0) == 0)
            return CaseOutcome{CaseStatus::Refused, line.substr(sizeof kRefusalPrefix - 1)};
        const std::string how = describe(imp, "sbml_import", kImportSeconds);
        return failed(imp.started && !imp.timedOut ? how + ": " + line : how);
    }

    // 3. Build the case program.
    const std::string buildWhy = buildCaseProgram(workDir);
    if (!buildWhy.empty()) return failed(buildWhy);

    // 4. Simulate and write the CSV.
    std::vector<std::string> cmd{workDir + "/case", workDir + "/model.in", csvPath, real(s.start),
                                 real(s.end()), std::to_string(s.steps)};
    for (const auto &v : s.variables) cmd.push_back((s.isAmount(v) ? "a:" : "c:") + v);
    const std::string runLog = workDir + "/run.log";
    const ProcessResult run = runProcess(cmd, runLog, kSimulateSeconds);
    if (!run.ok()) {
        const std::string how = describe(run, "the simulation", kSimulateSeconds);
        if (!run.started || run.timedOut) return failed(how);
        const std::string text = readText(runLog);
        const std::string solver = solverFault(text);
        return failed(how + ": " + reasonIn(text, "case driver:") + (solver.empty() ? "" : " (" + solver + ")"));
    }
    return CaseOutcome{CaseStatus::Written, ""};
}

}  // namespace qv::sbml_case
