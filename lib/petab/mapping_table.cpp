// The mapping table: valid identifiers standing for model entities whose ids are not, and
// annotation rows (no model entity).
#include <unordered_set>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::cell;

std::string read_mapping_table(const std::vector<TsvTable> &tables, std::vector<Mapping> &out) {
    out.clear();
    std::unordered_set<std::string> seen;
    for (const TsvTable &t : tables) {
        if (std::string err = detail::require_columns(t, {"petabEntityId", "modelEntityId"}); !err.empty()) return err;
        const int c_p = t.column("petabEntityId"), c_m = t.column("modelEntityId"), c_n = t.column("name");
        for (size_t r = 0; r < t.rows.size(); ++r) {
            if (std::string err = detail::check_id(t, r, c_p, 2, "petabEntityId"); !err.empty()) return err;
            Mapping m{cell(t, r, c_p), cell(t, r, c_m), cell(t, r, c_n), t.lines[r]};
            if (!seen.insert(m.petab_id).second) return cat(t.where(r, c_p), "'", m.petab_id, "' is mapped twice");
            out.push_back(std::move(m));
        }
    }
    return "";
}

}  // namespace qv::petab
