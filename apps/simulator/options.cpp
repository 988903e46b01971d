// Command line of the simulator: -I<model file> -O<result base name>, values glued to the letter.
#include <cstring>

#include "quorvant/common/logUtil.h"
#include "simulator.h"

int parseOptions(int argc, char **argv, SimOptions &opt) {
    int inputs = 0;
    int outputs = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg == nullptr || arg[0] != '-') continue;   // words without '-' are not ours
        switch (arg[1]) {
        case 'I':
            opt.input = arg + 2;
            ++inputs;
            break;
        case 'O':
            opt.output = arg + 2;
            ++outputs;
            break;
        case 'd':   // debug level: accepted and ignored
        case 'p':   // left for the MPI launcher
            break;
        default:
            log_sys("initialize: invalid argument !!\n");
            return -1;
        }
    }
    if (inputs != 1 || outputs != 1 || opt.input.empty() || opt.output.empty()) {
        log_sys("initialize: invarid file name!!\n");
        return -1;
    }
    return 0;
}

std::string rankFileName(const std::string &output, int rank) {
    return output + "_" + std::to_string(rank);
}
