// The observable table: output formulas, noise formulas and distributions, and the placeholders
// each measurement replaces.
#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_set>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

namespace {

// Version 1: placeholders are the formula's ids PREFIX<N>_<observable id>; collects them by N and
// checks that N runs 1..k without gaps.
std::string collect_placeholders(const TsvTable &t, size_t row, int col, std::string_view prefix, const std::string &obs,
                                 const std::vector<std::string> &ids, std::vector<std::string> &out) {
    std::map<int, std::string> by_n;
    const std::string suffix = cat("_", obs);
    for (const std::string &id : ids) {
        if (id.size() <= prefix.size() + suffix.size() || id.compare(0, prefix.size(), prefix) != 0 ||
            id.compare(id.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string_view digits(id.data() + prefix.size(), id.size() - prefix.size() - suffix.size());
        int n = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || ptr != digits.data() + digits.size() || digits[0] == '0') continue;
        by_n.emplace(n, id);
    }
    int expect = 1;
    for (const auto &[n, id] : by_n) {
        if (n != expect)
            return cat(t.where(row, col), "placeholder '", id, "' without ", prefix, std::to_string(expect), suffix,
                       " (numbers must run from 1 without gaps)");
        out.push_back(id);
        ++expect;
    }
    return "";
}

std::string declared_placeholders(const TsvTable &t, size_t row, int col, std::vector<std::string> &out) {
    for (const std::string &item : detail::split_list(cell(t, row, col))) {
        if (!is_identifier(item)) return cat(t.where(row, col), "placeholder '", item, "' is not a valid identifier");
        if (detail::is_reserved(item)) return cat(t.where(row, col), "placeholder '", item, "' is a reserved word");
        if (std::find(out.begin(), out.end(), item) != out.end())
            return cat(t.where(row, col), "placeholder '", item, "' is declared twice");
        out.push_back(item);
    }
    return "";
}

}  // namespace

std::string_view transform_name(Transform t) {
    switch (t) {
        case Transform::Lin: return "lin";
        case Transform::Log: return "log";
        case Transform::Log10: return "log10";
    }
    return "";
}

std::string_view noise_name(Noise n) { return n == Noise::Normal ? "normal" : "laplace"; }

std::string read_observable_table(const std::vector<TsvTable> &tables, int version, std::vector<Observable> &out) {
    out.clear();
    std::unordered_set<std::string> seen;
    for (size_t f = 0; f < tables.size(); ++f) {
        const TsvTable &t = tables[f];
        if (std::string err = detail::require_columns(t, {"observableId", "observableFormula", "noiseFormula"}); !err.empty())
            return err;
        const int c_id = t.column("observableId"), c_name = t.column("observableName");
        const int c_f = t.column("observableFormula"), c_nf = t.column("noiseFormula");
        const int c_tr = version == 1 ? t.column("observableTransformation") : -1;
        const int c_nd = t.column("noiseDistribution");
        const int c_op = version >= 2 ? t.column("observablePlaceholders") : -1;
        const int c_np = version >= 2 ? t.column("noisePlaceholders") : -1;
        for (size_t r = 0; r < t.rows.size(); ++r) {
            Observable o;
            if (std::string err = detail::check_id(t, r, c_id, version, "observableId"); !err.empty()) return err;
            o.id = cell(t, r, c_id);
            if (!seen.insert(o.id).second) return cat(t.where(r, c_id), "observable '", o.id, "' is listed twice");
            o.name = cell(t, r, c_name);
            o.formula = cell(t, r, c_f);
            o.noise_formula = cell(t, r, c_nf);
            o.line = t.lines[r];
            o.file = static_cast<int>(f);
            if (o.formula.empty()) return cat(t.where(r, c_f), "observableFormula of '", o.id, "' is empty");
            if (o.noise_formula.empty()) return cat(t.where(r, c_nf), "noiseFormula of '", o.id, "' is empty");

            const std::string &tr = cell(t, r, c_tr);
            const std::string &nd = cell(t, r, c_nd);
            if (version == 1) {
                if (tr.empty() || tr == "lin") o.transform = Transform::Lin;
                else if (tr == "log") o.transform = Transform::Log;
                else if (tr == "log10") o.transform = Transform::Log10;
                else return cat(t.where(r, c_tr), "observableTransformation '", tr, "' is not one of lin, log, log10");
                if (nd.empty() || nd == "normal") o.noise = Noise::Normal;
                else if (nd == "laplace") o.noise = Noise::Laplace;
                else return cat(t.where(r, c_nd), "noiseDistribution '", nd, "' is not one of normal, laplace");

                const std::vector<std::string> ids_f = formula_identifiers(o.formula);
                const std::vector<std::string> ids_n = formula_identifiers(o.noise_formula);
                std::vector<std::string> both = ids_f;
                for (const std::string &id : ids_n)
                    if (std::find(both.begin(), both.end(), id) == both.end()) both.push_back(id);
                if (std::string err = collect_placeholders(t, r, c_f, "observableParameter", o.id, both,
                                                           o.observable_placeholders);
                    !err.empty())
                    return err;
                if (std::string err = collect_placeholders(t, r, c_nf, "noiseParameter", o.id, ids_n, o.noise_placeholders);
                    !err.empty())
                    return err;
            } else {
                if (nd.empty() || nd == "normal") o.noise = Noise::Normal;
                else if (nd == "laplace") o.noise = Noise::Laplace;
                else if (nd == "log-normal") o.noise = Noise::Normal, o.transform = Transform::Log;
                else if (nd == "log-laplace") o.noise = Noise::Laplace, o.transform = Transform::Log;
                else return cat(t.where(r, c_nd), "noiseDistribution '", nd,
                                "' is not one of normal, laplace, log-normal, log-laplace");
                if (std::string err = declared_placeholders(t, r, c_op, o.observable_placeholders); !err.empty()) return err;
                if (std::string err = declared_placeholders(t, r, c_np, o.noise_placeholders); !err.empty()) return err;
                for (const std::string &id : o.noise_placeholders)
                    if (std::find(o.observable_placeholders.begin(), o.observable_placeholders.end(), id) !=
                        o.observable_placeholders.end())
                        return cat(t.where(r, c_np), "placeholder '", id, "' is declared both for the observable and the noise");
            }
            out.push_back(std::move(o));
        }
    }
    return "";
}

}  // namespace qv::petab
