// Deep copy of an argument vector, so that option parsing (which permutes and consumes its
// argument vector) can run over the program's arguments more than once.
#include <cstdlib>
#include <cstring>

#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/utl_arg.h"

namespace {
constexpr char kMsgStrdup[] = " ## Error: strdup(In CopyArgv).\n";
}  // namespace

int CopyArgv(int argc, char **argv, char **copy) {
    if (argc < 1) return 0;
    for (int i = 0; i < argc; ++i) copy[i] = nullptr;
    for (int i = 0; i < argc; ++i) {
        // A missing argument stays a null slot; the strings copied so far are kept for FreeCargv.
        if (argv[i] == nullptr) continue;
        copy[i] = strdup(argv[i]);
        if (copy[i] == nullptr) {
            log_sys(kMsgStrdup);
            return -1;
        }
    }
    return 0;
}

void FreeCargv(int argc, char **copy) {
    if (copy == nullptr) return;
    for (int i = 0; i < argc; ++i) {
        std::free(copy[i]);
        copy[i] = nullptr;
    }
}
