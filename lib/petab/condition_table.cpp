// The condition table: named sets of changes to model entities. Version 1 has one row per
// condition and one column per target; version 2 one row per change (conditionId, targetId,
// targetValue).
#include <unordered_map>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

namespace {

std::string read_wide(const TsvTable &t, int f, std::unordered_map<std::string, size_t> &seen, std::vector<Condition> &out) {
    if (std::string err = detail::require_columns(t, {"conditionId"}); !err.empty()) return err;
    const int c_id = t.column("conditionId"), c_name = t.column("conditionName");
    std::vector<int> targets;
    for (int c = 0; c < static_cast<int>(t.columns.size()); ++c) {
        if (c == c_id || c == c_name) continue;
        if (!is_identifier(t.columns[static_cast<size_t>(c)]))
            return cat(t.where_header(c), "condition column '", t.columns[static_cast<size_t>(c)],
                       "' is not a valid identifier of a model entity");
        targets.push_back(c);
    }
    for (size_t r = 0; r < t.rows.size(); ++r) {
        Condition cond;
        if (std::string err = detail::check_id(t, r, c_id, 1, "conditionId"); !err.empty()) return err;
        cond.id = cell(t, r, c_id);
        cond.name = cell(t, r, c_name);
        cond.line = t.lines[r];
        cond.file = f;
        if (auto [it, fresh] = seen.emplace(cond.id, out.size()); !fresh)
            return cat(t.where(r, c_id), "condition '", cond.id, "' is listed twice");
        for (int c : targets) {
            const std::string &v = cell(t, r, c);
            double x = 0;
            if (!v.empty() && !is_identifier(v) && !parse_number(v, x).empty())
                return cat(t.where(r, c), "value '", v, "' of '", t.columns[static_cast<size_t>(c)],
                           "' is neither a number nor a parameter id");
            cond.changes.push_back(Change{t.columns[static_cast<size_t>(c)], v, t.lines[r], c + 1 + t.column_offset});
        }
        out.push_back(std::move(cond));
    }
    return "";
}

std::string read_long(const TsvTable &t, int f, std::unordered_map<std::string, size_t> &seen, std::vector<Condition> &out) {
    if (std::string err = detail::require_columns(t, {"conditionId", "targetId", "targetValue"}); !err.empty()) return err;
    const int c_id = t.column("conditionId"), c_tg = t.column("targetId"), c_v = t.column("targetValue");
    const int c_name = t.column("conditionName");
    for (size_t r = 0; r < t.rows.size(); ++r) {
        if (std::string err = detail::check_id(t, r, c_id, 2, "conditionId"); !err.empty()) return err;
        if (std::string err = detail::check_id(t, r, c_tg, 2, "targetId"); !err.empty()) return err;
        const std::string &id = cell(t, r, c_id);
        const std::string &target = cell(t, r, c_tg);
        const std::string &value = cell(t, r, c_v);
        if (value.empty()) return cat(t.where(r, c_v), "targetValue of '", target, "' in condition '", id, "' is empty");
        auto [it, fresh] = seen.emplace(id, out.size());
        if (fresh) {
            Condition c;
            c.id = id;
            c.line = t.lines[r];
            c.file = f;
            out.push_back(std::move(c));
        }
        Condition &cond = out[it->second];
        if (cond.name.empty()) cond.name = cell(t, r, c_name);
        for (const Change &ch : cond.changes)
            if (ch.target == target)
                return cat(t.where(r, c_tg), "condition '", id, "' changes '", target, "' twice (also line ",
                           std::to_string(ch.line), ")");
        cond.changes.push_back(Change{target, value, t.lines[r], c_v + 1 + t.column_offset});
    }
    return "";
}

}  // namespace

std::string read_condition_table(const std::vector<TsvTable> &tables, int version, std::vector<Condition> &out) {
    out.clear();
    std::unordered_map<std::string, size_t> seen;
    for (size_t f = 0; f < tables.size(); ++f) {
        std::string err = version == 1 ? read_wide(tables[f], static_cast<int>(f), seen, out)
                                       : read_long(tables[f], static_cast<int>(f), seen, out);
        if (!err.empty()) return err;
    }
    return "";
}

}  // namespace qv::petab
