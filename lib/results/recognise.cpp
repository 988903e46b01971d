// What a file is, from the way its first lines are written: each program starts its files with a
// line of its own.
#include <cctype>

#include "quorvant/results_read.h"
#include "text_lines.h"

namespace quorvant::results {

namespace {

using namespace text;

// A list line without the header ("No3-17, ..."), as the README's recipe of joined ranks leaves them.
bool isListRow(std::string_view line) {
    if (!startsWith(line, "No") || line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[2])))
        return false;
    const size_t dash = line.find('-');
    const size_t comma = line.find(',');
    return dash != std::string_view::npos && comma != std::string_view::npos && dash < comma;
}

}  // namespace

const char *kindName(FileKind kind) {
    switch (kind) {
    case FileKind::Empty: return "an empty file";
    case FileKind::SimulatorResult: return "a simulator result file";
    case FileKind::GaReport: return "a gasearch report file";
    case FileKind::RsearchList: return "an rsearch list file";
    case FileKind::RsearchResult: return "an rsearch result file";
    case FileKind::RestartFile: return "a simulator restart file (initVal.txt)";
    case FileKind::Unknown: break;
    }
    return "a file of unknown kind";
}

std::string describe(const std::string &path, const ReadStatus &status) {
    std::string s = path;
    if (status.line > 0) s += ":" + std::to_string(status.line);
    return s + ": " + status.message;
}

FileKind recognise(const std::string &path, ReadStatus &status) {
    LineReader in(path);
    if (!in.isOpen()) {
        status = ReadStatus::failure(0, "cannot open the file");
        return FileKind::Unknown;
    }
    std::string_view line;
    // The first line that is not blank.
    do {
        if (!in.next(line)) return in.readError() ? (status = ReadStatus::failure(0, "cannot read the file"),
                                                     FileKind::Unknown)
                                                  : FileKind::Empty;
    } while (isBlank(line));

    if (startsWith(line, "===GA PARAMETERS")) return FileKind::GaReport;
    if (startsWith(line, "No, fitness") || isListRow(line)) return FileKind::RsearchList;
    if (startsWith(line, "##### CPU ")) return FileKind::SimulatorResult;   // a rank's own file
    if (!startsWith(line, "##### ")) return FileKind::Unknown;

    // A time stamp line: the simulator's and rsearch's result files echo the settings with the names
    // to the left ("Solver No.          :"), the restart file with the names to the right.
    do {
        if (!in.next(line)) return FileKind::Unknown;
    } while (isBlank(line));
    if (startsWith(trim(line), "Solver No.:") && line[0] == ' ') return FileKind::RestartFile;
    if (!startsWith(line, "Solver No.")) return FileKind::Unknown;
    // The starting values tell the two apart as well: the simulator writes "y[ 1]=  1.0000e+00",
    // rsearch "y[ 1]=1.000000e+00". That decides for a file that ends before its first block.
    bool rsearchValues = false;
    while (in.next(line)) {
        if (startsWith(line, "$$ Results")) break;
        const size_t eq = line.find("]=");
        if (startsWith(line, "y[") && eq != std::string_view::npos) {
            const std::string_view value = trim(line.substr(eq + 2, line.find('\t') - eq - 2));
            const size_t dot = value.find('.'), e = value.find_first_of("eE");
            rsearchValues = dot != std::string_view::npos && e != std::string_view::npos && e - dot - 1 == 6;
        }
    }
    while (in.next(line)) {
        if (isBlank(line)) continue;
        if (startsWith(line, "##### CPU ")) return FileKind::SimulatorResult;
        if (startsWith(line, "$$ Random Search")) return FileKind::RsearchResult;
        return rsearchValues ? FileKind::RsearchResult : FileKind::Unknown;
    }
    return rsearchValues ? FileKind::RsearchResult : FileKind::SimulatorResult;
}

}  // namespace quorvant::results
