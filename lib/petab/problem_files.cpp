// The YAML problem file: the format version and the files of the model and the tables.
#include "quorvant/petab/problem_files.h"

#include <filesystem>

#include <yaml-cpp/yaml.h>

#include "table_checks.h"

namespace qv::petab {

using detail::cat;

namespace {

// Keys each version knows at the top of the file; others are noted and ignored.
constexpr std::string_view kKeysV1[] = {"format_version", "parameter_file", "problems"};
constexpr std::string_view kProblemKeysV1[] = {"sbml_files", "condition_files", "measurement_files",
                                               "observable_files", "visualization_files"};
constexpr std::string_view kKeysV2[] = {"format_version", "id", "parameter_files", "model_files",
                                        "measurement_files", "condition_files", "experiment_files",
                                        "observable_files", "mapping_files", "extensions"};

struct Reader {
    const std::string &yaml;
    std::filesystem::path dir;

    std::string at(const YAML::Node &n) const {
        const YAML::Mark m = n.Mark();
        if (m.line < 0) return cat(yaml, ": ");
        return cat(yaml, ":", std::to_string(m.line + 1), ":", std::to_string(m.column + 1), ": ");
    }

    std::string resolve(const std::string &name) const {
        std::filesystem::path p(name);
        if (p.is_absolute()) return p.lexically_normal().string();
        return (dir / p).lexically_normal().string();
    }

    // One file name (a string) or a list of them, appended resolved to out.
    std::string files(const YAML::Node &n, std::string_view key, bool scalar_ok, std::vector<std::string> &out) const {
        if (!n || n.IsNull()) return "";
        if (n.IsScalar() && scalar_ok) {
            return one_file(n, key, out);
        }
        if (!n.IsSequence()) return cat(at(n), "'", key, "' must be a list of file names");
        for (const YAML::Node &item : n) {
            std::string err = one_file(item, key, out);
            if (!err.empty()) return err;
        }
        return "";
    }

    std::string one_file(const YAML::Node &n, std::string_view key, std::vector<std::string> &out) const {
        if (!n.IsScalar() || n.Scalar().empty()) return cat(at(n), "'", key, "' holds an entry that is not a file name");
        const std::string &s = n.Scalar();
        if (s.find("://") != std::string::npos) return cat(at(n), "'", s, "': only local files are read, not URLs");
        out.push_back(resolve(s));
        return "";
    }

    // Assigning to a YAML::Node writes into the node it refers to: the found node is returned by
    // construction instead.
    std::string missing(const YAML::Node &map, std::string_view key) const {
        if (map[std::string(key)]) return "";
        return cat(at(map), "missing '", key, "'");
    }
};

template <size_t N>
bool known(const std::string_view (&keys)[N], const std::string &k) {
    for (std::string_view s : keys)
        if (s == k) return true;
    return false;
}

std::string read_v1(const Reader &r, const YAML::Node &root, ProblemFiles &out) {
    for (const auto &kv : root) {
        const std::string k = kv.first.as<std::string>();
        if (!known(kKeysV1, k)) out.notes.push_back(cat(r.at(kv.first), "key '", k, "' ignored"));
    }
    if (std::string err = r.missing(root, "parameter_file"); !err.empty()) return err;
    const YAML::Node params = root["parameter_file"];
    if (std::string err = r.files(params, "parameter_file", true, out.parameters); !err.empty()) return err;
    if (out.parameters.empty()) return cat(r.at(params), "'parameter_file' names no file");
    if (std::string err = r.missing(root, "problems"); !err.empty()) return err;
    const YAML::Node problems = root["problems"];
    if (!problems.IsSequence() || problems.size() == 0)
        return cat(r.at(problems), "'problems' must be a list of one problem");
    if (problems.size() > 1)
        return cat(r.at(problems[1]), "the file lists ", std::to_string(problems.size()),
                   " problems; only a file with one problem is read");
    const YAML::Node p = problems[0];
    if (!p.IsMap()) return cat(r.at(p), "the problem must be a map of file lists");
    for (const auto &kv : p) {
        const std::string k = kv.first.as<std::string>();
        if (!known(kProblemKeysV1, k)) out.notes.push_back(cat(r.at(kv.first), "key '", k, "' ignored"));
    }
    struct List {
        std::string_view key;
        std::vector<std::string> *dst;
    };
    const List lists[] = {{"sbml_files", &out.models},
                          {"condition_files", &out.conditions},
                          {"measurement_files", &out.measurements},
                          {"observable_files", &out.observables}};
    for (const List &l : lists) {
        if (std::string err = r.missing(p, l.key); !err.empty()) return err;
        const YAML::Node n = p[std::string(l.key)];
        if (std::string err = r.files(n, l.key, false, *l.dst); !err.empty()) return err;
        if (l.dst->empty()) return cat(r.at(n), "'", l.key, "' names no file");
    }
    if (p["visualization_files"]) out.notes.push_back(cat(r.at(p["visualization_files"]), "visualization files ignored"));
    return "";
}

std::string read_v2(const Reader &r, const YAML::Node &root, ProblemFiles &out) {
    for (const auto &kv : root) {
        const std::string k = kv.first.as<std::string>();
        if (!known(kKeysV2, k)) out.notes.push_back(cat(r.at(kv.first), "key '", k, "' ignored"));
    }
    if (const YAML::Node id = root["id"]; id && id.IsScalar()) {
        if (!is_identifier(id.Scalar())) return cat(r.at(id), "problem id '", id.Scalar(), "' is not a valid identifier");
        out.id = id.Scalar();
    }
    if (std::string err = r.missing(root, "model_files"); !err.empty()) return err;
    const YAML::Node models = root["model_files"];
    if (!models.IsMap() || models.size() == 0) return cat(r.at(models), "'model_files' must map model ids to models");
    for (const auto &kv : models) {
        const std::string id = kv.first.as<std::string>();
        if (!is_identifier(id)) return cat(r.at(kv.first), "model id '", id, "' is not a valid identifier");
        const YAML::Node &m = kv.second;
        if (!m.IsMap()) return cat(r.at(m), "model '", id, "' must have a location and a language");
        if (std::string err = r.missing(m, "location"); !err.empty()) return err;
        if (std::string err = r.missing(m, "language"); !err.empty()) return err;
        const YAML::Node loc = m["location"], lang = m["language"];
        if (!lang.IsScalar() || lang.Scalar() != "sbml")
            return cat(r.at(lang), "model '", id, "' is in language '", lang.IsScalar() ? lang.Scalar() : "?",
                       "'; only sbml models are read");
        if (std::string err = r.one_file(loc, "location", out.models); !err.empty()) return err;
        out.model_ids.push_back(id);
    }
    struct List {
        std::string_view key;
        std::vector<std::string> *dst;
        bool needed;
    };
    const List lists[] = {{"parameter_files", &out.parameters, true},     {"observable_files", &out.observables, true},
                          {"measurement_files", &out.measurements, true}, {"condition_files", &out.conditions, false},
                          {"experiment_files", &out.experiments, false},  {"mapping_files", &out.mappings, false}};
    for (const List &l : lists) {
        const YAML::Node n = root[std::string(l.key)];
        if (!n) {
            if (l.needed) return cat(r.at(root), "missing '", l.key, "'");
            continue;
        }
        if (std::string err = r.files(n, l.key, false, *l.dst); !err.empty()) return err;
        if (l.needed && l.dst->empty()) return cat(r.at(n), "'", l.key, "' names no file");
    }
    if (const YAML::Node ext = root["extensions"]; ext && !ext.IsNull()) {
        if (!ext.IsMap()) return cat(r.at(ext), "'extensions' must map extension names to their settings");
        for (const auto &kv : ext) {
            const std::string name = kv.first.as<std::string>();
            const YAML::Node &e = kv.second;
            const YAML::Node req = e.IsMap() ? e["required"] : YAML::Node();
            if (!req || !req.IsScalar() || (req.Scalar() != "true" && req.Scalar() != "false"))
                return cat(r.at(e), "extension '", name, "' must say 'required: true' or 'required: false'");
            if (req.Scalar() == "true")
                return cat(r.at(kv.first), "extension '", name, "' is required and not supported");
            out.notes.push_back(cat(r.at(kv.first), "optional extension '", name, "' ignored"));
        }
    }
    return "";
}

}  // namespace

std::string read_problem_files(const std::string &yaml, ProblemFiles &out) {
    out = ProblemFiles{};
    out.path = yaml;
    Reader r{yaml, std::filesystem::path(yaml).parent_path()};
    try {
        const YAML::Node root = YAML::LoadFile(yaml);
        if (!root.IsMap()) return cat(yaml, ": the problem file must be a map of keys");
        const YAML::Node fv = root["format_version"];
        if (!fv) return cat(yaml, ": missing 'format_version'");
        const std::string v = fv.IsScalar() ? fv.Scalar() : "";
        if (v == "1" || v == "1.0.0") {
            out.version = 1;
            return read_v1(r, root, out);
        }
        if (v == "2" || v == "2.0.0") {
            out.version = 2;
            return read_v2(r, root, out);
        }
        return cat(r.at(fv), "format_version '", v, "' is not one this reader knows (1 or 2.0.0)");
    } catch (const YAML::BadFile &) {
        return cat(yaml, ": cannot open the problem file");
    } catch (const YAML::Exception &e) {
        if (e.mark.line >= 0)
            return cat(yaml, ":", std::to_string(e.mark.line + 1), ":", std::to_string(e.mark.column + 1), ": ", e.msg);
        return cat(yaml, ": ", e.msg);
    } catch (const std::exception &e) {
        return cat(yaml, ": ", e.what());
    }
}

}  // namespace qv::petab
