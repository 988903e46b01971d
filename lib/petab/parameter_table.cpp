// The parameter table: bounds, nominal values, estimation flags, scales and priors.
#include <cmath>
#include <limits>
#include <unordered_map>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PriorName {
    std::string_view v1, v2;  // empty: not in that version
    PriorType type;
    int count;
};

// One table of prior keywords for both the parsing and the printing of names.
constexpr PriorName kPriors[] = {
    {"uniform", "uniform", PriorType::Uniform, 2},
    {"normal", "normal", PriorType::Normal, 2},
    {"laplace", "laplace", PriorType::Laplace, 2},
    {"logNormal", "log-normal", PriorType::LogNormal, 2},
    {"logLaplace", "log-laplace", PriorType::LogLaplace, 2},
    {"parameterScaleUniform", "", PriorType::ParameterScaleUniform, 2},
    {"parameterScaleNormal", "", PriorType::ParameterScaleNormal, 2},
    {"parameterScaleLaplace", "", PriorType::ParameterScaleLaplace, 2},
    {"", "cauchy", PriorType::Cauchy, 2},
    {"", "chisquare", PriorType::ChiSquared, 1},
    {"", "exponential", PriorType::Exponential, 1},
    {"", "gamma", PriorType::Gamma, 2},
    {"", "log-uniform", PriorType::LogUniform, 2},
    {"", "rayleigh", PriorType::Rayleigh, 1},
};

bool parse_prior_name(std::string_view s, int version, PriorType &out) {
    for (const PriorName &p : kPriors)
        if (!s.empty() && s == (version == 1 ? p.v1 : p.v2)) {
            out = p.type;
            return true;
        }
    return false;
}

std::string prior_names(int version) {
    std::string s;
    for (const PriorName &p : kPriors) {
        std::string_view n = version == 1 ? p.v1 : p.v2;
        if (n.empty()) continue;
        if (!s.empty()) s.append(", ");
        s.append(n);
    }
    return s;
}

bool on_parameter_scale(PriorType t) {
    return t == PriorType::ParameterScaleUniform || t == PriorType::ParameterScaleNormal ||
           t == PriorType::ParameterScaleLaplace;
}

// An optional number cell: empty (or NaN, as written-out tables leave missing values) gives NaN.
std::string optional_number(const TsvTable &t, size_t row, int col, std::string_view what, double &out) {
    out = kNaN;
    const std::string &c = cell(t, row, col);
    if (c.empty()) return "";
    if (std::string err = parse_number(c, out); !err.empty()) return cat(t.where(row, col), what, ": ", err);
    return "";
}

// The prior of a type column and a parameters column. Version 1 fills absent parameters with the
// bounds (on the parameter scale for parameterScale* priors) and an absent type with `fallback`.
std::string read_prior(const TsvTable &t, size_t row, int type_col, int par_col, int version, PriorType fallback,
                       const ProblemParameter &par, Prior &out) {
    out = Prior{};
    const std::string &type = cell(t, row, type_col);
    const std::string &pars = cell(t, row, par_col);
    if (type.empty()) {
        out.type = fallback;
    } else if (!parse_prior_name(type, version, out.type)) {
        return cat(t.where(row, type_col), "unknown prior '", type, "' (known: ", prior_names(version), ")");
    }
    if (out.type == PriorType::None) {
        if (!pars.empty()) return cat(t.where(row, par_col), "prior parameters given without a prior");
        return "";
    }
    const int need = prior_parameter_count(out.type);
    if (pars.empty()) {
        if (version >= 2) return cat(t.where(row, par_col), "prior '", type, "' needs its parameters");
        const Scale s = on_parameter_scale(out.type) ? par.scale : Scale::Lin;
        out.parameters = {to_scale(s, par.lower), to_scale(s, par.upper)};
        if (std::isnan(par.lower) || std::isnan(par.upper))
            return cat(t.where_row(row), "prior of '", par.id, "' takes its parameters from the bounds, which are not given");
        return "";
    }
    for (const std::string &item : detail::split_list(pars)) {
        double v = 0;
        if (std::string err = parse_number(item, v); !err.empty())
            return cat(t.where(row, par_col), "prior parameter: ", err);
        if (!std::isfinite(v)) return cat(t.where(row, par_col), "prior parameter '", item, "' is not finite");
        out.parameters.push_back(v);
    }
    if (static_cast<int>(out.parameters.size()) != need)
        return cat(t.where(row, par_col), "prior '", prior_name(out.type, version), "' takes ", std::to_string(need),
                   " parameters, the cell has ", std::to_string(out.parameters.size()));
    out.truncated = version >= 2;
    return "";
}

}  // namespace

std::string_view prior_name(PriorType t, int version) {
    for (const PriorName &p : kPriors)
        if (p.type == t) return version == 1 ? p.v1 : p.v2;
    return "";
}

int prior_parameter_count(PriorType t) {
    for (const PriorName &p : kPriors)
        if (p.type == t) return p.count;
    return 0;
}

std::string_view scale_name(Scale s) {
    switch (s) {
        case Scale::Lin: return "lin";
        case Scale::Log: return "log";
        case Scale::Log10: return "log10";
    }
    return "";
}

double to_scale(Scale s, double x) {
    switch (s) {
        case Scale::Lin: return x;
        case Scale::Log: return std::log(x);
        case Scale::Log10: return std::log10(x);
    }
    return x;
}

double from_scale(Scale s, double x) {
    switch (s) {
        case Scale::Lin: return x;
        case Scale::Log: return std::exp(x);
        case Scale::Log10: return std::pow(10.0, x);
    }
    return x;
}

std::string read_parameter_table(const std::vector<TsvTable> &tables, int version, std::vector<ProblemParameter> &out,
                                 std::vector<std::string> *notes) {
    out.clear();
    std::unordered_map<std::string, size_t> seen;
    bool any_prior = false;
    for (size_t f = 0; f < tables.size(); ++f) {
        const TsvTable &t = tables[f];
        if (version == 1) {
            if (std::string err = detail::require_columns(
                    t, {"parameterId", "parameterScale", "lowerBound", "upperBound", "nominalValue", "estimate"});
                !err.empty())
                return err;
        } else if (std::string err = detail::require_columns(
                       t, {"parameterId", "lowerBound", "upperBound", "nominalValue", "estimate"});
                   !err.empty()) {
            return err;
        }
        const int c_id = t.column("parameterId"), c_name = t.column("parameterName");
        const int c_scale = version == 1 ? t.column("parameterScale") : -1;
        const int c_lo = t.column("lowerBound"), c_up = t.column("upperBound"), c_nom = t.column("nominalValue");
        const int c_est = t.column("estimate");
        const int c_ip = version == 1 ? t.column("initializationPriorType") : -1;
        const int c_ipp = version == 1 ? t.column("initializationPriorParameters") : -1;
        const int c_op = t.column(version == 1 ? "objectivePriorType" : "priorDistribution");
        const int c_opp = t.column(version == 1 ? "objectivePriorParameters" : "priorParameters");

        for (size_t r = 0; r < t.rows.size(); ++r) {
            ProblemParameter p;
            if (std::string err = detail::check_id(t, r, c_id, version, "parameterId"); !err.empty()) return err;
            p.id = cell(t, r, c_id);
            p.name = cell(t, r, c_name);
            p.line = t.lines[r];
            p.file = static_cast<int>(f);
            if (auto [it, fresh] = seen.emplace(p.id, out.size()); !fresh)
                return cat(t.where(r, c_id), "parameter '", p.id, "' is listed twice (also ",
                           tables[static_cast<size_t>(out[it->second].file)].path, ":",
                           std::to_string(out[it->second].line), ")");

            if (version == 1) {
                const std::string &s = cell(t, r, c_scale);
                if (s == "lin") p.scale = Scale::Lin;
                else if (s == "log") p.scale = Scale::Log;
                else if (s == "log10") p.scale = Scale::Log10;
                else return cat(t.where(r, c_scale), "parameterScale '", s, "' is not one of lin, log, log10");
            }

            const std::string &e = cell(t, r, c_est);
            if (version == 1 ? e == "1" : e == "true") p.estimate = true;
            else if (version == 1 ? e == "0" : e == "false") p.estimate = false;
            else return cat(t.where(r, c_est), "estimate '", e, version == 1 ? "' is not 0 or 1" : "' is not true or false");

            if (std::string err = optional_number(t, r, c_lo, "lowerBound", p.lower); !err.empty()) return err;
            if (std::string err = optional_number(t, r, c_up, "upperBound", p.upper); !err.empty()) return err;
            if (std::string err = optional_number(t, r, c_nom, "nominalValue", p.nominal); !err.empty()) return err;
            if (p.estimate) {
                if (std::isnan(p.lower)) return cat(t.where(r, c_lo), "lowerBound of estimated '", p.id, "' is missing");
                if (std::isnan(p.upper)) return cat(t.where(r, c_up), "upperBound of estimated '", p.id, "' is missing");
            } else if (std::isnan(p.nominal)) {
                return cat(t.where(r, c_nom), "nominalValue of fixed '", p.id, "' is missing");
            }
            if (!std::isnan(p.lower) && !std::isnan(p.upper) && p.lower > p.upper)
                return cat(t.where(r, c_lo), "lowerBound ", cell(t, r, c_lo), " is above upperBound ", cell(t, r, c_up));
            if (p.scale != Scale::Lin && !std::isnan(p.lower) && !(p.lower > 0))
                return cat(t.where(r, c_lo), "lowerBound ", cell(t, r, c_lo), " of '", p.id, "' on ", scale_name(p.scale),
                           " scale must be positive");
            // The format does not forbid it (the public test cases have such a start value): noted.
            if (notes && !std::isnan(p.nominal) &&
                ((!std::isnan(p.lower) && p.nominal < p.lower) || (!std::isnan(p.upper) && p.nominal > p.upper)))
                notes->push_back(cat(t.where(r, c_nom), "nominalValue ", cell(t, r, c_nom), " of '", p.id,
                                     "' is outside its bounds"));

            const PriorType init_default = version == 1 && p.estimate ? PriorType::ParameterScaleUniform : PriorType::None;
            if (p.estimate || version == 1) {
                if (std::string err = read_prior(t, r, c_ip, c_ipp, version, init_default, p, p.initialization); !err.empty())
                    return err;
            }
            if (std::string err = read_prior(t, r, c_op, c_opp, version, PriorType::None, p, p.objective); !err.empty())
                return err;
            if (p.objective.type != PriorType::None) any_prior = true;
            out.push_back(std::move(p));
        }
    }
    // Version 2: once some parameter has a prior, the estimated ones without get uniform(bounds).
    if (version >= 2 && any_prior)
        for (ProblemParameter &p : out)
            if (p.estimate && p.objective.type == PriorType::None)
                p.objective = Prior{PriorType::Uniform, {p.lower, p.upper}, true};
    return "";
}

}  // namespace qv::petab
