// The command line of gasearch:
//   gasearch -I <model file> -p <GA parameter file> [-f <report file>] [-s <initial individuals>]
//            [-S <seed>] [-R <checkpoint>] [-O <ignored>]
#include <cstdio>
#include <cstring>

#include "gasearch.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/utl_options.h"

namespace {

constexpr int kMaxArgc = 129;   // argument count (program name included) that is refused
constexpr char kOptString[] = "I:O:p:f:s:S:R:";
constexpr char kOnce[] = "IpfsSR";   // letters that may be given once (-O only warns, each time)

constexpr char kMsgTooMany[] = " ## Error: Too many options!\n";
constexpr char kMsgNoI[] = " ## ERROR: Option -I cannot be omitted.\n";
constexpr char kMsgNoP[] = " ## ERROR: Option -p cannot be omitted.\n";
constexpr char kMsgOIgnored[] = " ## Warning: -O option has no effect to GA.\n";
constexpr char kMsgReportOpen[] = " ## Error: The output file cannot open: '%s'\n";

// Copies a file name into a fixed field; names that do not fit are refused.
int copyName(char (&field)[qv::kGaNameSize], const char *name, char option) {
    if (CheckOptionName(name, option, qv::kGaNameSize - 1) != 0) return -1;
    std::memcpy(field, name, std::strlen(name) + 1);
    return 0;
}

// One option; 0 or -1 after the message.
int takeOption(int c, const char *arg, gaparam *param, GaOptions *opts) {
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
        case 'R':
            return copyName(param->checkpointParam.resumeFileName, arg, 'R');
        case 'S':
            if (ParseSeedOption(arg, &opts->seed) != 0) return -1;
            opts->seedGiven = true;
            return 0;
        case 'O':
            log_sys(kMsgOIgnored);
            return 0;
        default:
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
    // The scan leaves argv in its order, so comLine keeps the command line as given.
    OptionLetters seen;
    const auto take = [param, opts](int c, const char *arg) { return takeOption(c, arg, param, opts); };
    if (ScanOptions(argc, argv, kOptString, kOnce, &seen, take) != 0) return -1;
    return CheckRequiredOptions(seen, {{'I', kMsgNoI}, {'p', kMsgNoP}});
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
