// The kinds of file the result tools tell apart, and the name of each kind as the messages give it.
#ifndef QUORVANT_RESULTS_FILE_KIND_H
#define QUORVANT_RESULTS_FILE_KIND_H

namespace qv::results {

enum class FileKind {
    Unknown,          // none of the files below
    Empty,            // no characters but blanks
    SimulatorResult,  // simulator -O file: time course, survey or steady state (joined or one rank's)
    GaReport,         // gasearch -f file: parameter summary, then one block per generation
    RsearchList,      // rsearch <base>_list_<rank>: one CSV line per search
    RsearchResult,    // rsearch <base>_<rank>: one block per search with its time course
    RestartFile,      // simulator initVal.txt: settings and the final state as Y_START lines
};

// "a simulator result file", "an empty file", ...
const char *kind_name(FileKind kind);

}  // namespace qv::results

#endif
