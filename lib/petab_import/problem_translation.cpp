// Resolving a PEtab problem against its model: parameter slots, estimated parameters, the
// conditions of each experiment, the observables' formulas and every measurement.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "quorvant/petab_import/problem_translation.h"
#include "quorvant/petab_math/formula.h"

namespace qv::petab_import {

namespace {

using qv::sbml::Expr;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string quoted(const std::string &id) {
    std::string s = "'";
    s += id;
    s += "'";
    return s;
}

// "FILE:LINE[:COLUMN]: " of a row of one of the problem's tables (files[file]).
std::string at_line(const std::vector<std::string> &files, int file, int line, int column = 0) {
    std::string s = file >= 0 && static_cast<size_t>(file) < files.size() ? files[static_cast<size_t>(file)] : "?";
    s += ":";
    s += std::to_string(line);
    if (column > 0) {
        s += ":";
        s += std::to_string(column);
    }
    s += ": ";
    return s;
}

class Translator {
public:
    Translator(const qv::petab::Problem &pb, TranslatedProblem &out) : pb_(pb), out_(out) {}

    std::string run() {
        const auto &m = out_.model;
        for (const auto &mp : pb_.mappings) alias_[mp.petab_id] = mp.model_id;
        for (size_t k = 0; k < m.params.size(); ++k) {
            out_.slot_ids.push_back(m.params[k].id);
            slot_of_[m.params[k].id] = static_cast<int>(k) + 1;
        }
        out_.base.push_back(0.0);
        for (const auto &p : m.params) out_.base.push_back(p.value);
        for (size_t k = 0; k < m.observables.size(); ++k) observable_of_[m.observables[k].id] = k;
        for (size_t k = 0; k < pb_.parameters.size(); ++k) parameter_of_[pb_.parameters[k].id] = k;
        // The estimated parameters, in the order of the parameter table: the genes of a search.
        for (const auto &p : pb_.parameters) {
            if (!p.estimate) continue;
            theta_of_[p.id] = static_cast<int>(out_.theta.size());
            out_.theta.push_back(&p);
        }
        // The problem's parameters that are model parameters: estimated ones set their slot, fixed
        // ones their nominal value.
        for (const auto &p : pb_.parameters) {
            const std::string id = model_id(p.id);
            auto s = slot_of_.find(id);
            if (s == slot_of_.end()) continue;
            if (p.estimate) out_.estimated_slots.push_back({s->second, {theta_of_.at(p.id), 0.0, -1}});
            else out_.base[static_cast<size_t>(s->second)] = p.nominal;
        }
        if (std::string msg = observables(); !msg.empty()) return msg;
        if (std::string msg = experiments(); !msg.empty()) return msg;
        return data();
    }

private:
    const qv::petab::Problem &pb_;
    TranslatedProblem &out_;
    std::map<std::string, std::string> alias_;
    std::map<std::string, int> slot_of_;
    std::map<std::string, size_t> observable_of_;
    std::map<std::string, size_t> parameter_of_;
    std::map<std::string, int> theta_of_;
    int plain_experiment_ = -1;

    std::string model_id(const std::string &id) const {
        auto a = alias_.find(id);
        return a == alias_.end() ? id : a->second;
    }

    // A slot for a problem parameter the model does not have (read by a formula).
    int extra_slot(const qv::petab::ProblemParameter &p) {
        auto s = slot_of_.find(p.id);
        if (s != slot_of_.end()) return s->second;
        out_.slot_ids.push_back(p.id);
        const int k = static_cast<int>(out_.slot_ids.size());
        slot_of_[p.id] = k;
        out_.base.push_back(p.estimate ? 0.0 : p.nominal);
        if (p.estimate) out_.estimated_slots.push_back({k, {theta_of_.at(p.id), 0.0, -1}});
        return k;
    }

    // A cell of a condition or a measurement's override: a number (NaN or empty: keep the model's
    // value), a problem parameter, or a model parameter.
    std::string value_of(const std::string &cell, Value &v) {
        if (cell.empty()) {
            v = {-1, kNaN, -1};
            return "";
        }
        double x = 0.0;
        if (qv::petab::parse_number(cell, x).empty()) {
            v = {-1, x, -1};
            return "";
        }
        if (auto t = theta_of_.find(cell); t != theta_of_.end()) {
            v = {t->second, 0.0, -1};
            return "";
        }
        if (auto p = parameter_of_.find(cell); p != parameter_of_.end()) {
            v = {-1, pb_.parameters[p->second].nominal, -1};
            return "";
        }
        if (auto s = slot_of_.find(model_id(cell)); s != slot_of_.end()) {
            v = {-1, out_.base[static_cast<size_t>(s->second)], -1};
            return "";
        }
        // A formula (version 2): of the problem's parameters and the model's.
        auto resolve = [&](std::string_view name, Expr &e) -> std::string {
            const std::string id(name);
            if (auto t = theta_of_.find(id); t != theta_of_.end()) {
                e = qv::sbml::param(out_.slots() + 1 + t->second);
                return "";
            }
            if (auto p = parameter_of_.find(id); p != parameter_of_.end()) {
                e = qv::sbml::constant(pb_.parameters[p->second].nominal);
                return "";
            }
            if (auto o = observable_of_.find(model_id(id)); o != observable_of_.end()) {
                const auto &mo = out_.model.observables[o->second];
                e = mo.is_species && mo.data_in_amount ? mo.amount : mo.concentration;
                return "";
            }
            std::string msg = "unknown identifier ";
            msg += quoted(id);
            msg += " (neither a parameter of the problem nor an id of the model)";
            return msg;
        };
        Expr e;
        if (std::string msg = qv::petab_math::parse_formula(cell, resolve, e); !msg.empty()) {
            std::string out = "value ";
            out += quoted(cell);
            out += ": ";
            out += msg;
            return out;
        }
        if (e->op == qv::sbml::Op::Const) {
            v = {-1, e->value, -1};
            return "";
        }
        v = {-1, 0.0, static_cast<int>(out_.formulas.size())};
        out_.formulas.push_back(e);
        return "";
    }

    std::string observables() {
        for (const auto &ob : pb_.observables) {
            TranslatedObservable t;
            t.id = ob.id;
            t.transform = ob.transform;
            t.noise = ob.noise;
            std::map<std::string, int> placeholder;   // id -> index into q
            bool noise = false;   // resolving the noise formula, which may read the observable
            for (size_t k = 0; k < ob.observable_placeholders.size(); ++k)
                placeholder[ob.observable_placeholders[k]] = static_cast<int>(k);
            for (size_t k = 0; k < ob.noise_placeholders.size(); ++k)
                placeholder[ob.noise_placeholders[k]] = static_cast<int>(ob.observable_placeholders.size() + k);
            auto resolve = [&](std::string_view name, Expr &e) -> std::string {
                const std::string id(name);
                if (auto p = placeholder.find(id); p != placeholder.end()) {
                    e = qv::sbml::param(kPlaceholderBase + p->second);
                    return "";
                }
                if (auto o = observable_of_.find(model_id(id)); o != observable_of_.end()) {
                    const auto &mo = out_.model.observables[o->second];
                    e = mo.is_species && mo.data_in_amount ? mo.amount : mo.concentration;
                    return "";
                }
                if (auto p = parameter_of_.find(id); p != parameter_of_.end()) {
                    e = qv::sbml::param(extra_slot(pb_.parameters[p->second]));
                    return "";
                }
                if (noise && id == ob.id) {
                    e = t.value;
                    return "";
                }
                if (id == "time" || id == "t") {
                    e = qv::sbml::state(out_.model.time_index());
                    return "";
                }
                std::string msg = "unknown identifier ";
                msg += quoted(id);
                return msg;
            };
            std::string where = at_line(pb_.files.observables, ob.file, ob.line);
            if (std::string msg = qv::petab_math::parse_formula(ob.formula, resolve, t.value); !msg.empty())
                return where + "observable " + quoted(ob.id) + ": observableFormula: " + msg;
            noise = true;
            if (std::string msg = qv::petab_math::parse_formula(ob.noise_formula, resolve, t.sigma); !msg.empty())
                return where + "observable " + quoted(ob.id) + ": noiseFormula: " + msg;
            out_.observables.push_back(std::move(t));
        }
        // Placeholders move behind the slots, which are all known now.
        const int first = out_.slots() + 1;
        for (auto &t : out_.observables) {
            t.value = renumber(t.value, first);
            t.sigma = renumber(t.sigma, first);
        }
        return "";
    }

    static constexpr int kPlaceholderBase = 1 << 28;

    static Expr renumber(const Expr &e, int first) {
        if (e->op == qv::sbml::Op::Param && e->index >= kPlaceholderBase)
            return qv::sbml::param(first + e->index - kPlaceholderBase);
        if (e->args.empty()) return e;
        auto n = std::make_shared<qv::sbml::Node>(*e);
        for (auto &a : n->args) a = renumber(a, first);
        return n;
    }

    // The changes of one condition into a period.
    std::string apply_condition(const qv::petab::Condition &c, TranslatedPeriod &period) {
        for (const auto &ch : c.changes) {
            std::string where = at_line(pb_.files.conditions, c.file, ch.line, ch.column);
            where += "condition ";
            where += quoted(c.id);
            where += ": ";
            Value v;
            if (std::string msg = value_of(ch.value, v); !msg.empty()) return where + msg;
            const std::string id = model_id(ch.target);
            if (auto s = slot_of_.find(id); s != slot_of_.end() && s->second <= static_cast<int>(out_.model.params.size())) {
                period.params.push_back({s->second, v});
                continue;
            }
            const auto &states = out_.model.states;
            auto st = std::find_if(states.begin(), states.end(), [&](const auto &s) { return s.id == id; });
            if (st != states.end() && id != "time") {
                period.states.push_back({static_cast<int>(st - states.begin()) + 1, v});
                continue;
            }
            return where + "target " + quoted(ch.target) +
                   " is not a parameter, compartment or species of the model whose value a condition can set";
        }
        return "";
    }

    std::string experiments() {
        for (const auto &ex : pb_.experiments) {
            TranslatedExperiment t;
            t.id = ex.id;
            for (const auto &p : ex.periods) {
                TranslatedPeriod tp;
                tp.start = p.start;
                for (int c : p.conditions)
                    if (std::string msg = apply_condition(pb_.conditions[static_cast<size_t>(c)], tp); !msg.empty())
                        return msg;
                t.periods.push_back(std::move(tp));
            }
            if (t.periods.empty()) t.periods.push_back({});
            out_.experiments.push_back(std::move(t));
        }
        // Measurements without an experiment: the model as it is, from time 0.
        for (const auto &m : pb_.measurements)
            if (m.experiment < 0) {
                plain_experiment_ = static_cast<int>(out_.experiments.size());
                TranslatedExperiment t;
                t.id = "(no experiment)";
                t.periods.push_back({});
                out_.experiments.push_back(std::move(t));
                break;
            }
        return "";
    }

    int experiment_of(const qv::petab::Measurement &m) const { return m.experiment < 0 ? plain_experiment_ : m.experiment; }

    std::string data() {
        for (const auto &m : pb_.measurements) {
            auto &times = out_.experiments[static_cast<size_t>(experiment_of(m))].times;
            if (std::find(times.begin(), times.end(), m.time) == times.end()) times.push_back(m.time);
        }
        for (auto &e : out_.experiments) std::sort(e.times.begin(), e.times.end());
        for (const auto &m : pb_.measurements) {
            TranslatedDatum d;
            d.experiment = experiment_of(m);
            const auto &times = out_.experiments[static_cast<size_t>(d.experiment)].times;
            d.time = static_cast<int>(std::find(times.begin(), times.end(), m.time) - times.begin());
            d.observable = m.observable;
            d.value = m.value;
            const std::string where = at_line(pb_.files.measurements, m.file, m.line);
            for (const auto &cell : m.observable_parameters) {
                Value v;
                if (std::string msg = value_of(cell, v); !msg.empty()) return where + "observableParameters: " + msg;
                d.observable_parameters.push_back(v);
            }
            for (const auto &cell : m.noise_parameters) {
                Value v;
                if (std::string msg = value_of(cell, v); !msg.empty()) return where + "noiseParameters: " + msg;
                d.noise_parameters.push_back(v);
            }
            out_.data.push_back(std::move(d));
        }
        return "";
    }
};

}  // namespace

std::string translate_problem(const qv::petab::Problem &problem, qv::sbml::ImportedModel model, TranslatedProblem &out) {
    out = TranslatedProblem{};
    out.model = std::move(model);
    return Translator(problem, out).run();
}

}  // namespace qv::petab_import
