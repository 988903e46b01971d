// The experiment table: for each experiment the times at which conditions start. Rows of one
// experiment with the same time form one period applying all their conditions at once.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

namespace {

struct Row {
    double time;
    int condition;  // -1: no changes
    size_t table, row;
};

}  // namespace

std::string read_experiment_table(const std::vector<TsvTable> &tables, const std::vector<Condition> &conditions,
                                  std::vector<Experiment> &out) {
    out.clear();
    std::unordered_map<std::string, int> cond_index;
    for (size_t i = 0; i < conditions.size(); ++i) cond_index.emplace(conditions[i].id, static_cast<int>(i));
    std::unordered_map<std::string, size_t> seen;
    std::vector<std::vector<Row>> rows;  // per experiment
    for (size_t f = 0; f < tables.size(); ++f) {
        const TsvTable &t = tables[f];
        if (std::string err = detail::require_columns(t, {"experimentId", "time", "conditionId"}); !err.empty()) return err;
        const int c_id = t.column("experimentId"), c_t = t.column("time"), c_c = t.column("conditionId");
        for (size_t r = 0; r < t.rows.size(); ++r) {
            if (std::string err = detail::check_id(t, r, c_id, 2, "experimentId"); !err.empty()) return err;
            Row row{0, -1, f, r};
            if (std::string err = detail::number_cell(t, r, c_t, "time", row.time); !err.empty()) return err;
            if (std::isnan(row.time) || row.time == std::numeric_limits<double>::infinity())
                return cat(t.where(r, c_t), "time '", cell(t, r, c_t), "' must be a finite number or -inf");
            const std::string &c = cell(t, r, c_c);
            if (!c.empty()) {
                auto it = cond_index.find(c);
                if (it == cond_index.end()) return cat(t.where(r, c_c), "unknown condition '", c, "'");
                row.condition = it->second;
            }
            const std::string &id = cell(t, r, c_id);
            auto [it, fresh] = seen.emplace(id, out.size());
            if (fresh) {
                Experiment e;
                e.id = id;
                e.line = t.lines[r];
                e.file = static_cast<int>(f);
                out.push_back(std::move(e));
                rows.emplace_back();
            }
            rows[it->second].push_back(row);
        }
    }
    for (size_t e = 0; e < out.size(); ++e) {
        std::vector<Row> &rs = rows[e];
        std::stable_sort(rs.begin(), rs.end(), [](const Row &a, const Row &b) { return a.time < b.time; });
        for (const Row &row : rs) {
            const TsvTable &t = tables[row.table];
            if (out[e].periods.empty() || out[e].periods.back().start != row.time) out[e].periods.push_back(Period{row.time, {}});
            Period &p = out[e].periods.back();
            if (row.condition < 0) continue;
            // Conditions starting together must change disjoint targets.
            for (int other : p.conditions) {
                if (other == row.condition)
                    return cat(t.where(row.row, t.column("conditionId")), "condition '", conditions[static_cast<size_t>(other)].id,
                               "' is applied twice at the same time in experiment '", out[e].id, "'");
                for (const Change &a : conditions[static_cast<size_t>(other)].changes)
                    for (const Change &b : conditions[static_cast<size_t>(row.condition)].changes)
                        if (a.target == b.target)
                            return cat(t.where(row.row, t.column("conditionId")), "conditions '",
                                       conditions[static_cast<size_t>(other)].id, "' and '",
                                       conditions[static_cast<size_t>(row.condition)].id, "' both change '", a.target,
                                       "' at the same time in experiment '", out[e].id, "'");
            }
            p.conditions.push_back(row.condition);
        }
    }
    return "";
}

}  // namespace qv::petab
