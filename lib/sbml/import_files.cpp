// Writing the two generated files: each ends with a fingerprint of its contents, so that a later
// import can tell a file it wrote (and may replace) from one a user has edited (kept unless
// forced). Both files are written to temporary names first and only then renamed into place, one
// after the other: a failed write replaces neither file. The two renames cannot be one step; if the
// second fails, model.cpp is already the new one while model.in is still the old one, and the
// message says so (importing again brings them in step). No temporary file is left behind.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "quorvant/sbml/import_files.h"

#include "quorvant/sbml/model_input_writer.h"
#include "quorvant/sbml/model_source_writer.h"

namespace qv::sbml {

namespace {

constexpr const char *kFingerprintWord = "sbml_import fingerprint ";
constexpr std::uintmax_t kMaxCheckedBytes = 256u << 20;

std::uint64_t fnv1a(const std::string &s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string fingerprint_line(const std::string &comment, const std::string &body) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(body)));
    return comment + " " + kFingerprintWord + hex + "\n";
}

// True when the file at path ends with the fingerprint of the text before it.
bool unedited(const std::filesystem::path &path, const std::string &comment) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) > kMaxCheckedBytes || ec) return false;
    std::ifstream in(path, std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    const std::string text = buf.str();
    if (text.empty() || text.back() != '\n') return false;
    const size_t start = text.rfind('\n', text.size() - 2);
    const size_t body_end = start == std::string::npos ? 0 : start + 1;
    const std::string body = text.substr(0, body_end);
    return text.substr(body_end) == fingerprint_line(comment, body);
}

std::string write_file(const std::filesystem::path &tmp, const std::string &text) {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return tmp.string() + ": cannot write the file";
    return "";
}

}  // namespace

std::string write_generated(const std::string &outdir, const std::vector<GeneratedFile> &generated, bool force,
                            const std::string &tool) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(outdir, ec);
    if (!fs::is_directory(outdir, ec)) return outdir + ": cannot create the directory";
    struct Output {
        fs::path path;
        std::string comment;
        std::string text;
        fs::path tmp;
    };
    std::vector<Output> files;
    for (const auto &g : generated) files.push_back({fs::path(outdir) / g.name, g.comment, g.text, {}});
    for (auto &f : files) {
        if (fs::exists(f.path, ec) && !force && !unedited(f.path, f.comment))
            return f.path.string() + " was changed after " + tool + " wrote it (or was not written by it); "
                                     "--force overwrites it";
        f.text += fingerprint_line(f.comment, f.text);
        f.tmp = f.path;
        f.tmp += ".tmp" + std::to_string(::getpid());
    }
    for (auto &f : files) {
        std::string err = write_file(f.tmp, f.text);
        if (err.empty()) continue;
        for (auto &g : files) fs::remove(g.tmp, ec);
        return err;
    }
    for (size_t k = 0; k < files.size(); ++k) {
        fs::rename(files[k].tmp, files[k].path, ec);
        if (!ec) continue;
        std::string err = files[k].path.string() + ": cannot replace the file";
        if (k > 0) err += " (" + files[0].path.string() + " was replaced: import again to write " +
                          (files.size() == 2 ? "both files)" : "every file)");
        std::error_code ignored;
        for (auto &g : files) fs::remove(g.tmp, ignored);
        return err;
    }
    return "";
}

std::string write_import(const std::string &outdir, const ImportedModel &m, const DataSet *data,
                         const ImportOptions &opts) {
    return write_generated(outdir, {{"model.cpp", "//", model_source(m, data)}, {"model.in", "#", model_input(m, opts)}},
                           opts.force, "sbml_import");
}

}  // namespace qv::sbml
