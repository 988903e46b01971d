// The settings file of an SBML Test Suite case (<id>-settings.txt): time grid, reported variables,
// comparison tolerances and which variables are reported as amounts or as concentrations.
#ifndef QUORVANT_SBML_CASE_SETTINGS_H
#define QUORVANT_SBML_CASE_SETTINGS_H

#include <string>
#include <vector>

namespace qv::sbml_case {

struct CaseSettings {
    double start = 0.0;
    double duration = 0.0;
    int steps = 0;                            // output intervals: steps + 1 rows
    std::vector<std::string> variables;       // columns after time, in this order
    double absolute = 0.0;                    // comparison tolerances
    double relative = 0.0;
    std::vector<std::string> amount;          // reported as amounts
    std::vector<std::string> concentration;   // reported as concentrations

    double end() const { return start + duration; }
    // Time of output row i (0..steps) on the grid start, start + duration/steps, ..., end.
    double timeAt(int i) const;
    bool isAmount(const std::string &id) const;
};

// Parses the text of a settings file. Returns "" and fills *out, or the reason the text is not a
// usable settings file (naming the key or line at fault).
std::string parseSettings(const std::string &text, CaseSettings *out);

// Reads and parses a settings file; the reason names the file.
std::string readSettings(const std::string &path, CaseSettings *out);

}  // namespace qv::sbml_case

#endif
