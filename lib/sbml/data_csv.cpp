// Reading measurements for the generated fitness: a CSV file with a time column and one column
// per measured id (species, compartment or parameter of the model); empty cells are allowed.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "quorvant/sbml/data_csv.h"

namespace qv::sbml {

namespace {

constexpr size_t kMaxRows = 100000;
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    if (b == std::string::npos) return "";
    std::string t = s.substr(b, e - b + 1);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    return t;
}

std::vector<std::string> split(const std::string &line) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        cells.push_back(trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return cells;
}

// A cell's number: NaN for an empty cell (or one reading NaN); false when it is not a number.
bool parse_cell(const std::string &cell, double &out) {
    if (cell.empty() || cell == "NaN" || cell == "nan" || cell == "NA") {
        out = NAN;
        return true;
    }
    char *end = nullptr;
    out = std::strtod(cell.c_str(), &end);
    return end == cell.c_str() + cell.size() && std::isfinite(out);
}

}  // namespace

std::string read_data_csv(const std::string &path, const ImportedModel &m, DataSet &out) {
    out = DataSet{};
    out.source = std::filesystem::path(path).filename().string();
    for (char &c : out.source)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return path + ": no such file";
    if (std::filesystem::file_size(path, ec) > kMaxFileBytes) return path + ": file too large";
    std::ifstream in(path);
    if (!in) return path + ": cannot read the file";
    std::map<std::string, int> observable;
    for (size_t k = 0; k < m.observables.size(); ++k) observable[m.observables[k].id] = static_cast<int>(k);

    std::string line;
    size_t lineno = 0, ncells = 0;
    bool have_header = false;
    while (std::getline(in, line)) {
        ++lineno;
        const std::string where = path + ":" + std::to_string(lineno) + ": ";
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        std::vector<std::string> cells = split(line);
        if (!have_header) {
            have_header = true;
            ncells = cells.size();
            if (ncells < 2) return where + "the header needs a time column and at least one id";
            std::set<std::string> seen;
            for (size_t c = 1; c < ncells; ++c) {
                auto it = observable.find(cells[c]);
                if (it == observable.end())
                    return where + "unknown id '" + cells[c] + "' (not a species, compartment or parameter of the model)";
                if (!seen.insert(cells[c]).second) return where + "id '" + cells[c] + "' heads two columns";
                out.columns.push_back(it->second);
            }
            continue;
        }
        if (cells.size() > ncells)
            return where + std::to_string(cells.size()) + " cells, the header has " + std::to_string(ncells);
        cells.resize(ncells);
        double time = 0.0;
        if (!parse_cell(cells[0], time) || std::isnan(time)) return where + "time '" + cells[0] + "' is not a number";
        if (!out.times.empty() && time <= out.times.back())
            return where + "time " + cells[0] + " does not follow the previous row's time";
        std::vector<double> row(ncells - 1);
        for (size_t c = 1; c < ncells; ++c)
            if (!parse_cell(cells[c], row[c - 1]))
                return where + "value '" + cells[c] + "' of " + m.observables[static_cast<size_t>(out.columns[c - 1])].id +
                       " is not a number";
        if (out.times.size() >= kMaxRows) return where + "more than " + std::to_string(kMaxRows) + " rows";
        out.times.push_back(time);
        out.values.push_back(std::move(row));
    }
    if (!have_header) return path + ": no header line";
    if (out.times.empty()) return path + ": no data rows";
    return "";
}

}  // namespace qv::sbml
