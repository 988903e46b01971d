#include "quorvant/results/file_kind.h"

namespace qv::results {

const char *kind_name(FileKind kind) {
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

}  // namespace qv::results
