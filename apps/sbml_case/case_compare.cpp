// Reading result tables and checking values against the case's tolerances.
#include "case_compare.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qv::sbml_case {

namespace {

// Output times agree when they differ by less than this fraction of the larger magnitude (or of 1
// near 0): both files print the same grid, only their rounding differs.
constexpr double kTimeTolerance = 1e-9;

std::string trim(const std::string &s) {
    const auto first = s.find_first_not_of(" \t\r\n\"");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t\r\n\"");
    return s.substr(first, last - first + 1);
}

std::vector<std::string> splitCells(const std::string &line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ',')) cells.push_back(trim(cell));
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    return cells;
}

bool parseNumber(const std::string &cell, double *out) {
    if (cell.empty()) return false;
    char *end = nullptr;
    const double v = std::strtod(cell.c_str(), &end);
    if (*end != '\0') return false;
    *out = v;
    return true;
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

}  // namespace

std::string parseCsv(const std::string &text, CsvTable *out) {
    CsvTable t;
    std::stringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trim(line).empty()) continue;
        std::vector<std::string> cells = splitCells(line);
        if (t.header.empty()) {
            for (const auto &c : cells)
                if (c.empty()) return "line " + std::to_string(lineNo) + ": empty column name";
            t.header = std::move(cells);
            continue;
        }
        if (cells.size() != t.header.size())
            return "line " + std::to_string(lineNo) + ": " + std::to_string(cells.size()) +
                   " cells, the header has " + std::to_string(t.header.size());
        std::vector<double> row(cells.size());
        for (size_t k = 0; k < cells.size(); ++k)
            if (!parseNumber(cells[k], &row[k]))
                return "line " + std::to_string(lineNo) + ": not a number: '" + cells[k] + "'";
        t.rows.push_back(std::move(row));
    }
    if (t.header.empty()) return "no header line";
    *out = std::move(t);
    return "";
}

std::string readCsv(const std::string &path, CsvTable *out) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::stringstream text;
    text << in.rdbuf();
    const std::string why = parseCsv(text.str(), out);
    return why.empty() ? why : path + ": " + why;
}

bool withinTolerance(double computed, double expected, double absolute, double relative) {
    if (std::isnan(expected)) return std::isnan(computed);
    if (std::isinf(expected)) return computed == expected;
    if (!std::isfinite(computed)) return false;
    return std::fabs(computed - expected) <= absolute + relative * std::fabs(expected);
}

std::string compareTables(const CsvTable &computed, const CsvTable &expected, double absolute,
                          double relative) {
    if (computed.rows.size() != expected.rows.size())
        return std::to_string(computed.rows.size()) + " rows, expected " +
               std::to_string(expected.rows.size());
    // Column k of the expected table is column where[k] of the computed one; column 0 is time.
    std::vector<size_t> where(expected.header.size(), 0);
    for (size_t k = 1; k < expected.header.size(); ++k) {
        size_t j = 1;
        while (j < computed.header.size() && computed.header[j] != expected.header[k]) ++j;
        if (j == computed.header.size()) return "no column " + expected.header[k];
        where[k] = j;
    }
    for (size_t r = 0; r < expected.rows.size(); ++r) {
        const double t = expected.rows[r][0];
        const double tc = computed.rows[r][0];
        if (std::fabs(tc - t) > kTimeTolerance * std::fmax(1.0, std::fabs(t)))
            return "row " + std::to_string(r) + " is at t=" + number(tc) + ", expected t=" + number(t);
        for (size_t k = 1; k < expected.header.size(); ++k) {
            const double c = computed.rows[r][where[k]];
            const double e = expected.rows[r][k];
            if (!withinTolerance(c, e, absolute, relative))
                return expected.header[k] + " at t=" + number(t) + ": " + number(c) + " vs " + number(e);
        }
    }
    return "";
}

}  // namespace qv::sbml_case
