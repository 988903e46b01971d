// Reading a whole problem: the YAML, then each table in the order their references need, then
// the checks that span tables.
#include <unordered_map>

#include "quorvant/petab/problem.h"
#include "table_checks.h"

namespace qv::petab {

using detail::cat;

namespace {

int find_in(const Problem::Index &index, std::string_view id) {
    auto it = index.find(id);
    return it == index.end() ? -1 : it->second;
}

template <class T, class Id>
void fill(Problem::Index &index, const std::vector<T> &items, Id id) {
    index.clear();
    for (size_t i = 0; i < items.size(); ++i) index.emplace(id(items[i]), static_cast<int>(i));
}

std::string read_tables(const std::vector<std::string> &paths, std::vector<TsvTable> &out) {
    out.assign(paths.size(), TsvTable{});
    for (size_t i = 0; i < paths.size(); ++i)
        if (std::string err = read_tsv(paths[i], out[i]); !err.empty()) return err;
    return "";
}

// "PATH:LINE" of a row of the file'th table of a kind.
std::string at(const std::vector<std::string> &paths, int file, int line) {
    return cat(paths[static_cast<size_t>(file)], ":", std::to_string(line));
}

// Checks between tables: placeholders and condition targets are not parameters of the parameter
// table; version 2 ids are unique across the tables that define them.
std::string cross_checks(const Problem &p) {
    const ProblemFiles &fs = p.files;
    for (const Observable &o : p.observables)
        for (const auto *list : {&o.observable_placeholders, &o.noise_placeholders})
            for (const std::string &ph : *list)
                if (int i = p.find_parameter(ph); i >= 0)
                    return cat(at(fs.parameters, p.parameters[static_cast<size_t>(i)].file, p.parameters[static_cast<size_t>(i)].line),
                               ": '", ph, "' is a placeholder of observable '", o.id, "' (", at(fs.observables, o.file, o.line),
                               ") and must not be in the parameter table");
    for (const Condition &c : p.conditions)
        for (const Change &ch : c.changes)
            if (int i = p.find_parameter(ch.target); i >= 0)
                return cat(at(fs.parameters, p.parameters[static_cast<size_t>(i)].file, p.parameters[static_cast<size_t>(i)].line),
                           ": '", ch.target, "' is set by condition '", c.id, "' (", at(fs.conditions, c.file, ch.line),
                           ") and must not be in the parameter table");
    if (p.version < 2) return "";
    struct Def {
        std::string_view kind;
        const std::vector<std::string> *paths;
        int file, line;
    };
    std::unordered_map<std::string_view, Def> defs;
    auto define = [&](std::string_view id, Def d) -> std::string {
        auto [it, fresh] = defs.emplace(id, d);
        if (fresh) return "";
        return cat(at(*d.paths, d.file, d.line), ": ", d.kind, " id '", id, "' is already the id of a ", it->second.kind, " (",
                   at(*it->second.paths, it->second.file, it->second.line), ")");
    };
    for (const ProblemParameter &x : p.parameters)
        if (std::string err = define(x.id, {"parameter", &fs.parameters, x.file, x.line}); !err.empty()) return err;
    for (const Observable &x : p.observables) {
        if (std::string err = define(x.id, {"observable", &fs.observables, x.file, x.line}); !err.empty()) return err;
    }
    for (const Condition &x : p.conditions)
        if (std::string err = define(x.id, {"condition", &fs.conditions, x.file, x.line}); !err.empty()) return err;
    for (const Experiment &x : p.experiments)
        if (std::string err = define(x.id, {"experiment", &fs.experiments, x.file, x.line}); !err.empty()) return err;
    return "";
}

}  // namespace

int Problem::find_parameter(std::string_view id) const { return find_in(parameter_index, id); }
int Problem::find_observable(std::string_view id) const { return find_in(observable_index, id); }
int Problem::find_condition(std::string_view id) const { return find_in(condition_index, id); }
int Problem::find_experiment(std::string_view id) const { return find_in(experiment_index, id); }
int Problem::find_mapping(std::string_view id) const { return find_in(mapping_index, id); }

void Problem::index() {
    fill(parameter_index, parameters, [](const ProblemParameter &x) { return x.id; });
    fill(observable_index, observables, [](const Observable &x) { return x.id; });
    fill(condition_index, conditions, [](const Condition &x) { return x.id; });
    fill(experiment_index, experiments, [](const Experiment &x) { return x.id; });
    fill(mapping_index, mappings, [](const Mapping &x) { return x.petab_id; });
}

std::string read_problem(const std::string &yaml_path, Problem &out) {
    out = Problem{};
    ProblemFiles &fs = out.files;
    if (std::string err = read_problem_files(yaml_path, fs); !err.empty()) return err;
    out.version = fs.version;
    out.path = fs.path;
    out.models = fs.models;
    out.model_ids = fs.model_ids;
    out.notes = fs.notes;
    if (out.version == 1 && out.models.size() > 1)
        out.notes.push_back(cat(yaml_path, ": ", std::to_string(out.models.size()),
                                " models share one parameter table; measurements refer to the first"));

    std::vector<TsvTable> tables;
    if (std::string err = read_tables(fs.parameters, tables); !err.empty()) return err;
    if (std::string err = read_parameter_table(tables, out.version, out.parameters, &out.notes); !err.empty()) return err;
    if (std::string err = read_tables(fs.observables, tables); !err.empty()) return err;
    if (std::string err = read_observable_table(tables, out.version, out.observables); !err.empty()) return err;
    if (std::string err = read_tables(fs.conditions, tables); !err.empty()) return err;
    if (std::string err = read_condition_table(tables, out.version, out.conditions); !err.empty()) return err;
    if (out.version >= 2) {
        if (std::string err = read_tables(fs.experiments, tables); !err.empty()) return err;
        if (std::string err = read_experiment_table(tables, out.conditions, out.experiments); !err.empty()) return err;
        if (std::string err = read_tables(fs.mappings, tables); !err.empty()) return err;
        if (std::string err = read_mapping_table(tables, out.mappings); !err.empty()) return err;
    }
    out.index();
    if (std::string err = read_tables(fs.measurements, tables); !err.empty()) return err;
    if (std::string err = read_measurement_table(tables, out); !err.empty()) return err;
    return cross_checks(out);
}

}  // namespace qv::petab
