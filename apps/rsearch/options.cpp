// The command line of rsearch:
//   rsearch -I <model file> -O <output base name> -n <searches> [-j <searches per message>] [-S <seed>]
// Unknown options and options without their argument are passed over; an option given twice, a
// count that is not a whole number and a name too long for the files built from it are refused.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/utl_options.h"
#include "rsearch.h"

namespace {

constexpr char kOptString[] = "I:O:n:j:S:";
constexpr char kOnce[] = "IOnjS";   // every option may be given once
// Longest suffix appended to a name: "_list_" and a rank of up to 10 digits, or "_" and a rank.
constexpr int kLongestSuffix = 16;

constexpr char kMsgNoInput[] = "my_init: input file not specified.\n";
constexpr char kMsgNoOutput[] = "my_init: output file not specified.\n";
constexpr char kMsgNoSearch[] = "my_init: number of search not specified.\n";
constexpr char kMsgBadCount[] = " ## Error: Invalid number for option -%c: '%s' (a whole number).\n";
constexpr char kMsgFewSearches[] =
    " ## Error: rsearch on several processes needs at least one search (-n %d).\n";
constexpr char kMsgBadPerMessage[] = " ## Error: The searches per message must be at least 1 (-j %d).\n";

// A decimal integer with an optional sign and nothing else.
int parseCount(const char *text, int *value) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return -1;
    *value = static_cast<int>(v);
    return 0;
}

int takeName(std::string *field, const char *arg, char option) {
    if (CheckOptionName(arg, option, qv::kRsNameSize - 1 - kLongestSuffix) != 0) return -1;
    *field = arg;
    return 0;
}

int takeOption(int c, const char *arg, RsOptions *opts) {
    switch (c) {
        case 'I':
            return takeName(&opts->modelFile, arg, 'I');
        case 'O':
            return takeName(&opts->outBase, arg, 'O');
        case 'n':
        case 'j':
            if (parseCount(arg, c == 'n' ? &opts->searches : &opts->perMessage) != 0) {
                log_sys(kMsgBadCount, c, arg);
                return -1;
            }
            return 0;
        case 'S':
            if (ParseSeedOption(arg, &opts->seed) != 0) return -1;
            opts->seedGiven = true;
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int ParseRsearchOptions(int argc, char **argv, int size, RsOptions *opts) {
    *opts = RsOptions{};
    OptionLetters seen;
    const auto take = [opts](int c, const char *arg) { return takeOption(c, arg, opts); };
    if (ScanOptions(argc, argv, kOptString, kOnce, &seen, take) != 0 ||
        CheckRequiredOptions(seen, {{'I', kMsgNoInput}, {'O', kMsgNoOutput}, {'n', kMsgNoSearch}}) != 0)
        return -1;
    // The master waits for at least one completion and divides the searches by -j. One process
    // keeps -n 0 (a header and no search).
    if (size > 1 && opts->searches < 1) {
        log_sys(kMsgFewSearches, opts->searches);
        return -1;
    }
    if (opts->perMessage < 1) {
        log_sys(kMsgBadPerMessage, opts->perMessage);
        return -1;
    }
    return 0;
}
