// The measurement table: observed values with their observable, experiment (version 1: condition
// pair, from which the experiments are built here), time and placeholder overrides.
#include <cmath>
#include <limits>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The overrides of one cell: as many as the observable has placeholders, each a number or a
// parameter of the parameter table.
std::string read_overrides(const TsvTable &t, size_t r, int col, const Problem &p, const Observable &o,
                           const std::vector<std::string> &placeholders, std::string_view what,
                           std::vector<std::string> &out) {
    if (col < 0 && !placeholders.empty())
        return cat(t.where_row(r), "the table lacks the column '", what, "', and observable '", o.id, "' has ",
                   std::to_string(placeholders.size()), " placeholders");
    out = detail::split_list(cell(t, r, col));
    // A lone NaN where nothing is replaced: written-out tables fill empty cells so.
    if (placeholders.empty() && out.size() == 1) {
        double x = 0;
        if (parse_number(out[0], x).empty() && std::isnan(x)) out.clear();
    }
    if (out.size() != placeholders.size())
        return cat(t.where(r, col), what, ": observable '", o.id, "' has ", std::to_string(placeholders.size()),
                   " placeholders, the cell gives ", std::to_string(out.size()), " values");
    for (const std::string &item : out) {
        double x = 0;
        if (item.empty()) return cat(t.where(r, col), what, ": empty value in '", cell(t, r, col), "'");
        if (parse_number(item, x).empty()) continue;
        if (!is_identifier(item)) return cat(t.where(r, col), what, ": '", item, "' is neither a number nor a parameter id");
        if (p.find_parameter(item) < 0)
            return cat(t.where(r, col), what, ": '", item, "' is not in the parameter table");
    }
    return "";
}

// Version 1: the experiment of a (pre-equilibration, simulation) condition pair, made on first use.
int v1_experiment(Problem &p, int preeq, int sim, int line, int file) {
    std::string id = preeq < 0 ? p.conditions[static_cast<size_t>(sim)].id
                               : cat(p.conditions[static_cast<size_t>(preeq)].id, ":", p.conditions[static_cast<size_t>(sim)].id);
    if (auto it = p.experiment_index.find(id); it != p.experiment_index.end()) return it->second;
    Experiment e;
    e.id = id;
    e.line = line;
    e.file = file;
    if (preeq >= 0) e.periods.push_back(Period{-kInf, {preeq}});
    e.periods.push_back(Period{0, {sim}});
    const int index = static_cast<int>(p.experiments.size());
    p.experiment_index.emplace(std::move(id), index);
    p.experiments.push_back(std::move(e));
    return index;
}

}  // namespace

std::string read_measurement_table(const std::vector<TsvTable> &tables, Problem &p) {
    p.measurements.clear();
    if (p.version == 1) {
        p.experiments.clear();
        p.experiment_index.clear();
    }
    for (size_t f = 0; f < tables.size(); ++f) {
        const TsvTable &t = tables[f];
        if (std::string err = p.version == 1
                                  ? detail::require_columns(t, {"observableId", "simulationConditionId", "measurement", "time"})
                                  : detail::require_columns(t, {"observableId", "experimentId", "measurement", "time"});
            !err.empty())
            return err;
        const int c_obs = t.column("observableId"), c_m = t.column("measurement"), c_t = t.column("time");
        const int c_sim = t.column("simulationConditionId"), c_pre = t.column("preequilibrationConditionId");
        const int c_exp = p.version >= 2 ? t.column("experimentId") : -1;
        const int c_model = p.version >= 2 ? t.column("modelId") : -1;
        const int c_op = t.column("observableParameters"), c_np = t.column("noiseParameters");
        const int c_ds = t.column("datasetId"), c_rep = t.column("replicateId");
        if (p.version >= 2 && p.models.size() > 1 && c_model < 0)
            return cat(t.path, ":", std::to_string(t.header_line),
                       ": table lacks the column 'modelId', which a problem of several models needs");

        for (size_t r = 0; r < t.rows.size(); ++r) {
            Measurement m;
            m.line = t.lines[r];
            m.file = static_cast<int>(f);
            const std::string &obs = cell(t, r, c_obs);
            m.observable = p.find_observable(obs);
            if (m.observable < 0) return cat(t.where(r, c_obs), "unknown observable '", obs, "'");
            const Observable &o = p.observables[static_cast<size_t>(m.observable)];

            if (p.version == 1) {
                const std::string &sim = cell(t, r, c_sim), &pre = cell(t, r, c_pre);
                const int si = p.find_condition(sim);
                if (si < 0) return cat(t.where(r, c_sim), sim.empty() ? "simulationConditionId is empty" : cat("unknown condition '", sim, "'"));
                int pi = -1;
                if (!pre.empty()) {
                    pi = p.find_condition(pre);
                    if (pi < 0) return cat(t.where(r, c_pre), "unknown condition '", pre, "'");
                }
                m.experiment = v1_experiment(p, pi, si, m.line, m.file);
            } else {
                const std::string &e = cell(t, r, c_exp);
                if (!e.empty()) {
                    m.experiment = p.find_experiment(e);
                    if (m.experiment < 0) return cat(t.where(r, c_exp), "unknown experiment '", e, "'");
                }
                const std::string &model = cell(t, r, c_model);
                if (!model.empty()) {
                    m.model = -1;
                    for (size_t i = 0; i < p.model_ids.size(); ++i)
                        if (p.model_ids[i] == model) m.model = static_cast<int>(i);
                    if (m.model < 0) return cat(t.where(r, c_model), "unknown model '", model, "'");
                } else if (p.models.size() > 1) {
                    return cat(t.where(r, c_model), "modelId is empty in a problem of several models");
                }
            }

            if (std::string err = detail::number_cell(t, r, c_m, "measurement", m.value); !err.empty()) return err;
            if (!std::isfinite(m.value)) return cat(t.where(r, c_m), "measurement '", cell(t, r, c_m), "' is not finite");
            if (m.observable >= 0 && p.observables[static_cast<size_t>(m.observable)].transform != Transform::Lin && !(m.value > 0))
                return cat(t.where(r, c_m), "measurement ", cell(t, r, c_m), " is not positive, but observable '",
                           p.observables[static_cast<size_t>(m.observable)].id, "' is log-transformed");
            if (std::string err = detail::number_cell(t, r, c_t, "time", m.time); !err.empty()) return err;
            if (std::isnan(m.time) || m.time == -kInf)
                return cat(t.where(r, c_t), "time '", cell(t, r, c_t), "' must be a number or inf");
            if (p.version == 1 && m.time < 0) return cat(t.where(r, c_t), "time ", cell(t, r, c_t), " is negative");
            if (p.version >= 2 && m.experiment >= 0) {
                for (const Period &per : p.experiments[static_cast<size_t>(m.experiment)].periods)
                    if (std::isfinite(per.start)) {
                        if (m.time < per.start)
                            return cat(t.where(r, c_t), "time ", cell(t, r, c_t), " is before the start of experiment '",
                                       p.experiments[static_cast<size_t>(m.experiment)].id, "'");
                        break;
                    }
            }

            if (std::string err = read_overrides(t, r, c_op, p, o, o.observable_placeholders, "observableParameters",
                                                 m.observable_parameters);
                !err.empty())
                return err;
            if (std::string err =
                    read_overrides(t, r, c_np, p, o, o.noise_placeholders, "noiseParameters", m.noise_parameters);
                !err.empty())
                return err;
            m.dataset = cell(t, r, c_ds);
            m.replicate = cell(t, r, c_rep);
            p.measurements.push_back(std::move(m));
        }
    }
    return "";
}

}  // namespace qv::petab
