// sbml_import MODEL.xml OUTDIR [options]: writes OUTDIR/model.cpp and OUTDIR/model.in for an SBML
// model and prints the cmake line that builds the programs for it.
//
// Exit status: 0 written; 1 the model, the data or the output directory was refused (one line on
// standard error names the reason); 2 bad usage.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "quorvant/sbml/data_csv.h"
#include "quorvant/sbml/import_files.h"
#include "quorvant/sbml/sbml_reader.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxPoints = 1000000;
constexpr int kMaxGridSearch = 10000;      // largest --points tried to put the data times on the grid
constexpr double kGridTolerance = 1.0e-9;  // relative distance of a data time from a grid time
constexpr const char *kUsage =
    "usage: sbml_import MODEL.xml OUTDIR [--t-start T0] [--t-end T] [--points N] [--atol A] [--rtol R]\n"
    "                   [--data DATA.csv] [--force]\n";

int usage(const std::string &why) {
    std::fprintf(stderr, "sbml_import: %s\n%s", why.c_str(), kUsage);
    return kExitUsage;
}

int refused(const std::string &why) {
    std::fprintf(stderr, "sbml_import: %s\n", why.c_str());
    return kExitRefused;
}

bool parse_number(const char *text, double &out) {
    char *end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

// The smallest number of output intervals that puts every data time on the output grid, or 0.
int grid_points(const std::vector<double> &times, double t0, double t1) {
    for (int n = 1; n <= kMaxGridSearch; ++n) {
        const double dm = (t1 - t0) / n;
        bool all = true;
        for (double t : times) {
            const double k = std::round((t - t0) / dm);
            if (std::fabs(t0 + k * dm - t) > kGridTolerance * std::fmax(1.0, std::fabs(t))) {
                all = false;
                break;
            }
        }
        if (all) return n;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    qv::sbml::ImportOptions opts;
    std::string data_path;
    std::vector<std::string> positional;
    bool t_end_set = false, points_set = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--force") {
            opts.force = true;
            continue;
        }
        if (a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        if (i + 1 >= argc) return usage("option " + a + " needs a value");
        const char *v = argv[++i];
        double x = 0.0;
        if (a == "--data") {
            data_path = v;
        } else if (!parse_number(v, x)) {
            return usage("option " + a + ": '" + v + "' is not a finite number");
        } else if (a == "--t-start") {
            opts.t_start = x;
        } else if (a == "--t-end") {
            opts.t_end = x;
            t_end_set = true;
        } else if (a == "--points") {
            if (x < 1 || x > kMaxPoints || x != std::floor(x))
                return usage("option --points: '" + std::string(v) + "' is not a whole number from 1 to " +
                             std::to_string(kMaxPoints));
            opts.points = static_cast<int>(x);
            points_set = true;
        } else if (a == "--atol" || a == "--rtol") {
            if (x <= 0.0) return usage("option " + a + ": '" + v + "' is not positive");
            (a == "--atol" ? opts.atol : opts.rtol) = x;
        } else {
            return usage("unknown option " + a);
        }
    }
    if (positional.size() != 2) return usage("expected MODEL.xml and OUTDIR");

    qv::sbml::ImportedModel model;
    std::string err = qv::sbml::import_sbml(positional[0], opts, model);
    if (!err.empty()) return refused(err);

    qv::sbml::DataSet data;
    const bool have_data = !data_path.empty();
    if (have_data) {
        err = qv::sbml::read_data_csv(data_path, model, data);
        if (!err.empty()) return refused(err);
        if (!t_end_set && data.times.back() > opts.t_start) opts.t_end = data.times.back();
    }
    if (!(opts.t_end > opts.t_start)) return usage("the end time must lie after the start time");
    if (have_data) {
        for (double t : data.times)
            if (t < opts.t_start || t > opts.t_end)
                return refused(data_path + ": time " + std::to_string(t) + " lies outside the simulated span");
        if (!points_set) {
            const int n = grid_points(data.times, opts.t_start, opts.t_end);
            if (n > 0) opts.points = n;
        }
    }

    err = qv::sbml::write_import(positional[1], model, have_data ? &data : nullptr, opts);
    if (!err.empty()) return refused(err);
    for (const auto &note : model.notes) std::fprintf(stderr, "sbml_import: note: %s\n", note.c_str());

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::absolute(positional[1], ec).lexically_normal();
    const fs::path build = dir / "build";
    std::printf("cmake -S %s -B %s -DQUORVANT_MODEL=%s && cmake --build %s -j\n", QV_SOURCE_DIR,
                build.string().c_str(), (dir / "model.cpp").string().c_str(), build.string().c_str());
    return 0;
}
