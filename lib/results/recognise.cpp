// What a file is, from the way its first lines are written: each program starts its files with a
// line of its own.
#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include "quorvant/results/file_kind.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/recognise.h"
#include "text_lines.h"

namespace qv::results {

namespace {

using namespace text;

// A list line without the header ("No3-17, ..."), as the README's recipe of joined ranks leaves them.
bool is_list_row(std::string_view line) {
    if (!starts_with(line, "No") || line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[2])))
        return false;
    const size_t dash = line.find('-');
    const size_t comma = line.find(',');
    return dash != std::string_view::npos && comma != std::string_view::npos && dash < comma;
}

}  // namespace

FileKind recognise(const std::string &path, ReadStatus &status) {
    LineReader in(path);
    if (!in.is_open()) {
        status = ReadStatus::failure(0, "cannot open the file");
        return FileKind::Unknown;
    }
    std::string_view line;
    // The first line that is not blank.
    do {
        if (!in.next(line)) return in.read_error() ? (status = ReadStatus::failure(0, "cannot read the file"),
                                                     FileKind::Unknown)
                                                  : FileKind::Empty;
    } while (is_blank(line));

    if (starts_with(line, "===GA PARAMETERS")) return FileKind::GaReport;
    if (starts_with(line, "No, fitness") || is_list_row(line)) return FileKind::RsearchList;
    if (starts_with(line, "##### CPU ")) return FileKind::SimulatorResult;   // a rank's own file
    if (!starts_with(line, "##### ")) return FileKind::Unknown;

    // A time stamp line: the simulator's and rsearch's result files echo the settings with the names
    // to the left ("Solver No.          :"), the restart file with the names to the right.
    do {
        if (!in.next(line)) return FileKind::Unknown;
    } while (is_blank(line));
    if (starts_with(trim(line), "Solver No.:") && line[0] == ' ') return FileKind::RestartFile;
    if (!starts_with(line, "Solver No.")) return FileKind::Unknown;
    // The starting values tell the two apart as well: the simulator writes "y[ 1]=  1.0000e+00",
    // rsearch "y[ 1]=1.000000e+00". That decides for a file that ends before its first block.
    bool rsearch_values = false;
    while (in.next(line)) {
        if (starts_with(line, "$$ Results")) break;
        const size_t eq = line.find("]=");
        if (starts_with(line, "y[") && eq != std::string_view::npos) {
            const std::string_view value = trim(line.substr(eq + 2, line.find('\t') - eq - 2));
            const size_t dot = value.find('.'), e = value.find_first_of("eE");
            rsearch_values = dot != std::string_view::npos && e != std::string_view::npos && e - dot - 1 == 6;
        }
    }
    while (in.next(line)) {
        if (is_blank(line)) continue;
        if (starts_with(line, "##### CPU ")) return FileKind::SimulatorResult;
        if (starts_with(line, "$$ Random Search")) return FileKind::RsearchResult;
        return rsearch_values ? FileKind::RsearchResult : FileKind::Unknown;
    }
    return rsearch_values ? FileKind::RsearchResult : FileKind::SimulatorResult;
}

}  // namespace qv::results
