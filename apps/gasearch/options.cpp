// The command line of gasearch:
//   gasearch -I <model file> -p <GA parameter file> [-f <report file>] [-s <initial individuals>]
//            [-S <seed>] [-O <ignored>]
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gasearch.h"
#include "quorvant/ga_utils.h"
#include "quorvant/log.h"

namespace {

constexpr int kMaxArgc = 129;   // argument count (program name included) that is refused
constexpr char kOptString[] = "I:O:p:f:s:S:";

constexpr char kMsgTooMany[] = " ## Error: Too many options!\n";
constexpr char kMsgDuplicated[] = " ## Error: Duplicated option: '%c'\n";
constexpr char kMsgNoI[] = " ## ERROR: Option -I cannot be omitted.\n";
constexpr char kMsgNoP[] = " ## ERROR: Option -p cannot be omitted.\n";
constexpr char kMsgOIgnored[] = " ## Warning: -O option has no effect to GA.\n";
constexpr char kMsgReportOpen[] = " ## Error: The output file cannot open: '%s'\n";
constexpr char kMsgNameTooLong[] =
    " ## Error: The file name of option -%c is too long (at most %d characters).\n";
constexpr char kMsgBadSeed[] =
    " ## Error: Invalid seed for option -S: '%s' (a whole number from 0 to 4294967295).\n";

// Copies a file name into a fixed field; names that do not fit are refused.
int copyName(char (&field)[qv::kGaNameSize], const char *name, char option) {
    const size_t len = std::strlen(name);
    if (len >= sizeof field) {
        log_sys(kMsgNameTooLong, option, qv::kGaNameSize - 1);
        return -1;
    }
    std::memcpy(field, name, len + 1);
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

// One option; 0 or -1 after the message.
int takeOption(int c, const char *arg, gaparam *param, GaOptions *opts, bool seen[128]) {
    if (c == 'I' || c == 'p' || c == 'f' || c == 's' || c == 'S') {
        if (seen[c]) {
            log_sys(kMsgDuplicated, c);
            return -1;
        }
        seen[c] = true;
    }
    gaioparam &io = param->ioParam;
    switch (c) {
        case 'I':
            opts->modelFile = arg;
            return 0;
        case 'p':
            return copyName(io.paramFileName, arg, 'p');
        case 'f':
            return copyName(io.outputFileName, arg, 'f');
        case 's':
            return copyName(io.individualFileName, arg, 's');
        case 'S':
            if (parseSeed(arg, &opts->seed) != 0) {
                log_sys(kMsgBadSeed, arg);
                return -1;
            }
            opts->seedGiven = true;
            return 0;
        case 'O':
            log_sys(kMsgOIgnored);
            return 0;
        default:   // unknown letters and missing arguments are passed over
            return 0;
    }
}

}  // namespace

int adm_argc_argv(gaparam *param, GaOptions *opts, int argc, char **argv) {
    if (argc >= kMaxArgc) {
        log_sys(kMsgTooMany);
        return -1;
    }
    param->ioParam.individualFileName[0] = '\0';
    // getopt may permute its vector: it runs over a copy, so comLine keeps the original order.
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
            if (takeOption(c, optarg, param, opts, seen) != 0) {
                result = -1;
                break;
            }
        }
    }
    optind = 1;
    FreeCargv(argc, copy.data());
    if (result != 0) return -1;
    if (!seen['I']) {
        log_sys(kMsgNoI);
        return -1;
    }
    if (!seen['p']) {
        log_sys(kMsgNoP);
        return -1;
    }
    return 0;
}

int OpenReportFile(gaparam *param) {
    gaioparam &io = param->ioParam;
    if (io.outputFileName[0] == '\0') return 0;
    io.outputFile = std::fopen(io.outputFileName, "w");
    if (io.outputFile == nullptr) {
        log_sys(kMsgReportOpen, io.outputFileName);
        return -1;
    }
    return 0;
}
