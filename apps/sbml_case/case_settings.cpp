// Reader of the test-case settings file: "key: value" lines, lists separated by commas.
#include "case_settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qv::sbml_case {

namespace {

// Largest number of output intervals accepted: far above any suite case, small enough that the
// row buffers of a run stay modest.
constexpr long kMaxSteps = 1000000;

std::string trim(const std::string &s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::vector<std::string> splitList(const std::string &value) {
    std::vector<std::string> items;
    std::stringstream in(value);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = trim(item);
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

// The whole value must be one finite number.
bool parseReal(const std::string &value, double *out) {
    if (value.empty()) return false;
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parseCount(const std::string &value, long *out) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    const long v = std::strtol(value.c_str(), nullptr, 10);
    if (errno != 0) return false;
    *out = v;
    return true;
}

}  // namespace

double CaseSettings::timeAt(int i) const {
    if (i >= steps) return end();
    return start + duration * static_cast<double>(i) / static_cast<double>(steps);
}

bool CaseSettings::isAmount(const std::string &id) const {
    return std::find(amount.begin(), amount.end(), id) != amount.end();
}

std::string parseSettings(const std::string &text, CaseSettings *out) {
    CaseSettings s;
    bool haveStart = false, haveDuration = false, haveSteps = false, haveVariables = false;
    bool haveAbsolute = false, haveRelative = false;
    std::stringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        line = trim(line);
        if (line.empty()) continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            return "line " + std::to_string(lineNo) + " is not 'key: value': " + line;
        const std::string key = trim(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        auto badNumber = [&]() { return "bad value for '" + key + "': '" + value + "'"; };
        if (key == "start") {
            if (!parseReal(value, &s.start)) return badNumber();
            haveStart = true;
        } else if (key == "duration") {
            if (!parseReal(value, &s.duration) || s.duration <= 0) return badNumber();
            haveDuration = true;
        } else if (key == "steps") {
            long n = 0;
            if (!parseCount(value, &n) || n < 1 || n > kMaxSteps) return badNumber();
            s.steps = static_cast<int>(n);
            haveSteps = true;
        } else if (key == "variables") {
            s.variables = splitList(value);
            if (s.variables.empty()) return "no variables listed";
            haveVariables = true;
        } else if (key == "absolute") {
            if (!parseReal(value, &s.absolute) || s.absolute < 0) return badNumber();
            haveAbsolute = true;
        } else if (key == "relative") {
            if (!parseReal(value, &s.relative) || s.relative < 0) return badNumber();
            haveRelative = true;
        } else if (key == "amount") {
            s.amount = splitList(value);
        } else if (key == "concentration") {
            s.concentration = splitList(value);
        }
        // Other keys (later suite versions add some) do not concern a time course.
    }
    const std::pair<bool, const char *> required[] = {
        {haveStart, "start"},       {haveDuration, "duration"}, {haveSteps, "steps"},
        {haveVariables, "variables"}, {haveAbsolute, "absolute"}, {haveRelative, "relative"}};
    for (const auto &[have, key] : required)
        if (!have) return std::string("missing '") + key + "'";
    for (const auto &id : s.amount)
        if (std::find(s.concentration.begin(), s.concentration.end(), id) != s.concentration.end())
            return "'" + id + "' is listed both as amount and as concentration";
    *out = std::move(s);
    return "";
}

std::string readSettings(const std::string &path, CaseSettings *out) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::stringstream text;
    text << in.rdbuf();
    const std::string why = parseSettings(text.str(), out);
    return why.empty() ? why : path + ": " + why;
}

}  // namespace qv::sbml_case
