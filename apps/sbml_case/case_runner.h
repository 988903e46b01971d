// One SBML Test Suite case from its files to a CSV time course: read the settings, import the
// model, compile the generated source against the case kit, simulate, write the CSV.
#ifndef QUORVANT_SBML_CASE_RUNNER_H
#define QUORVANT_SBML_CASE_RUNNER_H

#include <string>
#include <vector>

#include "case_settings.h"

namespace qv::sbml_case {

enum class CaseStatus {
    Written,   // the CSV was written
    Refused,   // the model is outside the model class; message = the importer's reason
    Failed,    // anything else; message says what
};

struct CaseOutcome {
    CaseStatus status = CaseStatus::Failed;
    std::string message;
};

// Exit statuses of sbml_test_case for the three outcomes.
constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;
int exitStatusOf(CaseStatus status);

// Checks that a case id can name a directory of the cases directory (no separators, not . or ..).
bool isValidCaseId(const std::string &id);

// CASES_DIR/ID/ID-sbml-lLvV.xml.
std::string modelPath(const std::string &casesDir, const std::string &id, int level, int version);

// The model of the highest level and version the case offers; "" when it has none.
std::string highestModelPath(const std::string &casesDir, const std::string &id);

// Compiles workDir/model.cpp and links it with the kit into workDir/case. Returns "" or the reason.
std::string buildCaseProgram(const std::string &workDir);

// Runs the case whose settings are in CASES_DIR/ID/ID-settings.txt with the given model file, in
// workDir (an empty directory the caller removes), and writes its CSV to csvPath. *settings
// receives the parsed settings when they could be read.
CaseOutcome runCase(const std::string &casesDir, const std::string &id, const std::string &model,
                    const std::string &workDir, const std::string &csvPath, CaseSettings *settings);

}  // namespace qv::sbml_case

#endif
