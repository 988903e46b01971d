// The command line of rsearch:
//   rsearch -I <model file> -O <output base name> -n <searches> [-j <searches per message>] [-S <seed>]
// Unknown options and options without their argument are passed over; an option given twice, a
// count that is not a whole number and a name too long for the files built from it are refused.
#include <getopt.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvant/ga_utils.h"
#include "quorvant/log.h"
#include "rsearch.h"

namespace {

constexpr char kOptString[] = "I:O:n:j:S:";
// Longest suffix appended to a name: "_list_" and a rank of up to 10 digits, or "_" and a rank.
constexpr int kLongestSuffix = 16;

constexpr char kMsgDuplicated[] = " ## Error: Duplicated option: '%c'\n";
constexpr char kMsgNoInput[] = "my_init: input file not specified.\n";
constexpr char kMsgNoOutput[] = "my_init: output file not specified.\n";
constexpr char kMsgNoSearch[] = "my_init: number of search not specified.\n";
constexpr char kMsgNameTooLong[] =
    " ## Error: The file name of option -%c is too long (at most %d characters).\n";
constexpr char kMsgBadCount[] = " ## Error: Invalid number for option -%c: '%s' (a whole number).\n";
constexpr char kMsgBadSeed[] =
    " ## Error: Invalid seed for option -S: '%s' (a whole number from 0 to 4294967295).\n";
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

int parseSeed(const char *text, unsigned long *seed) {
    // Digits only: strtoul would accept a sign or blanks and wrap a negative number.
    if (*text == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) return -1;
    errno = 0;
    const unsigned long long v = std::strtoull(text, nullptr, 10);
    if (errno == ERANGE || v > 4294967295ULL) return -1;
    *seed = static_cast<unsigned long>(v);
    return 0;
}

int takeName(std::string *field, const char *arg, char option) {
    if (std::strlen(arg) + kLongestSuffix >= static_cast<size_t>(qv::kRsNameSize)) {
        log_sys(kMsgNameTooLong, option, qv::kRsNameSize - 1 - kLongestSuffix);
        return -1;
    }
    *field = arg;
    return 0;
}

int takeOption(int c, const char *arg, RsOptions *opts, bool seen[128]) {
    if (c == '?' || c == ':') return 0;   // unknown letter or missing argument: passed over
    if (seen[c]) {
        log_sys(kMsgDuplicated, c);
        return -1;
    }
    seen[c] = true;
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
            if (parseSeed(arg, &opts->seed) != 0) {
                log_sys(kMsgBadSeed, arg);
                return -1;
            }
            opts->seedGiven = true;
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int ParseRsearchOptions(int argc, char **argv, int size, RsOptions *opts) {
    *opts = RsOptions{};
    // getopt may permute its vector: it runs over a copy, so the caller's argv stays as given.
    std::vector<char *> copy(static_cast<size_t>(argc) + 1, nullptr);
    int result = CopyArgv(argc, argv, copy.data());
    bool seen[128] = {};
    if (result == 0) {
        opterr = 0;
#ifdef __GLIBC__
        optind = 0;   // a full restart of glibc's scanner, whatever an earlier scan left
#else
        optind = 1;
#endif
        for (int c; (c = getopt(argc, copy.data(), kOptString)) != -1;) {
            if (takeOption(c, optarg, opts, seen) != 0) {
                result = -1;
                break;
            }
        }
    }
    optind = 1;
    FreeCargv(argc, copy.data());
    if (result != 0) return -1;

    if (!seen['I']) {
        log_sys(kMsgNoInput);
        return -1;
    }
    if (!seen['O']) {
        log_sys(kMsgNoOutput);
        return -1;
    }
    if (!seen['n']) {
        log_sys(kMsgNoSearch);
        return -1;
    }
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
