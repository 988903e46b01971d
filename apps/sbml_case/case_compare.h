// Computed time courses against the expected results of a test case.
#ifndef QUORVANT_SBML_CASE_COMPARE_H
#define QUORVANT_SBML_CASE_COMPARE_H

#include <string>
#include <vector>

namespace qv::sbml_case {

// A result file: a header of column names (the first is time) and rows of numbers.
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;
};

// Parses CSV text: a header line, then rows with one number per column ("NaN", "INF" and "-INF"
// allowed). Returns "" or the reason (line number and the cell at fault).
std::string parseCsv(const std::string &text, CsvTable *out);
std::string readCsv(const std::string &path, CsvTable *out);

// |computed - expected| <= absolute + relative * |expected|. A non-finite expected value is matched
// only by the same non-finite value (NaN by NaN, an infinity by the same infinity).
bool withinTolerance(double computed, double expected, double absolute, double relative);

// Compares every expected column (matched by name) at every row. Returns "" when all values pass,
// else the first fault: "<column> at t=<t>: <computed> vs <expected>", or a shape mismatch.
std::string compareTables(const CsvTable &computed, const CsvTable &expected, double absolute,
                          double relative);

}  // namespace qv::sbml_case

#endif
