// The translation state's helpers: refusals, names for messages, and adding parameters, states
// and intermediates to the imported model.
#include "translation_state.h"

#include "quorvant/common/limits.h"

namespace qv::sbml::detail {

namespace {

constexpr size_t kMaxNameLength = qv::kNameLen - 1;   // PARAM_NAME
// Names the model input file reserves (time events, the S-system's independent variables).
const std::set<std::string> kReservedNames = {"y_force", "y_add", "time_start", "time_end", "constantPlayer"};

}  // namespace

void refuse(const std::string &what) { throw Failure{"refused: " + what}; }
void fail(const std::string &what) { throw Failure{what}; }

std::string in_quotes(const std::string &id) { return "'" + id + "'"; }

std::string label(const SBase *e, unsigned index) {
    if (e->isSetIdAttribute() && !e->getIdAttribute().empty()) return in_quotes(e->getIdAttribute());
    std::string number = "#";   // appended, not "#" + ...: g++ 12 warns falsely on that at -O3
    number += std::to_string(index + 1);
    return number;
}

RuleKind Translation::rule_kind(const std::string &id) const {
    auto it = rules.find(id);
    if (it == rules.end()) return RuleKind::None;
    return it->second->isAssignment() ? RuleKind::Assignment : RuleKind::Rate;
}

std::string Translation::map_name(const std::string &preferred) {
    auto ok = [this](const std::string &n) {
        return !n.empty() && n.size() <= kMaxNameLength && !kReservedNames.count(n) && !used_names.count(n);
    };
    std::string name = preferred;
    for (int k = 1; !ok(name); ++k) {
        std::string suffix = "_";
        suffix += std::to_string(k);
        name = preferred.substr(0, kMaxNameLength - suffix.size()) + suffix;
    }
    used_names.insert(name);
    return name;
}

int Translation::add_param(const std::string &preferred, const std::string &id, double value) {
    out.params.push_back({map_name(preferred), id, value});
    return static_cast<int>(out.params.size());
}

int Translation::add_state(const std::string &id, const std::string &what, double initial) {
    out.states.push_back({id, what, initial, nullptr, nullptr});
    rhs_terms.push_back(constant(0.0));
    return static_cast<int>(out.states.size());
}

int Translation::add_inter(const std::string &id, const std::string &what) {
    out.inters.push_back({id, what, nullptr});
    return static_cast<int>(out.inters.size()) - 1;
}

}  // namespace qv::sbml::detail
