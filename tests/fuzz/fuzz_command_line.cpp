// Fuzzing harness for the simulator's command line: the file named on the command line holds the
// arguments, one per line (a NUL byte also ends an argument). They go through the simulator's
// option parsing, the debug-level scan of the log channel (which reads the same argv), and the
// naming of the per-rank result files.
//
//   fuzz_command_line <file of arguments>
#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "simulator.h"

#ifndef __AFL_LOOP
static bool firstRound = true;
#define __AFL_LOOP(n) (firstRound ? (firstRound = false, true) : false)
#endif

namespace {

// More arguments than any shell line a user would type; the rest of the file is ignored.
constexpr size_t kMaxArgs = 64;
constexpr size_t kMaxBytes = 1 << 16;

std::vector<std::string> readArguments(const char *path) {
    std::vector<std::string> args;
    FILE *fp = std::fopen(path, "rb");
    if (fp == nullptr) return args;
    std::string cur;
    size_t bytes = 0;
    for (int c; (c = std::fgetc(fp)) != EOF && bytes < kMaxBytes; ++bytes) {
        if (c == '\n' || c == '\0') {
            args.push_back(cur);
            cur.clear();
            if (args.size() == kMaxArgs) break;
        } else {
            cur.push_back(static_cast<char>(c));
        }
    }
    if (!cur.empty() && args.size() < kMaxArgs) args.push_back(cur);
    std::fclose(fp);
    return args;
}

void parseOnce(const char *path) {
    std::vector<std::string> args = readArguments(path);
    // argv as main() receives it: the program name first, a null pointer after the last one.
    std::string program = "simulator";
    std::vector<char *> argv{program.data()};
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;

    log_dbginit(argc, argv.data());
    log_dbgfinalize();
    SimOptions opt;
    if (parseOptions(argc, argv.data(), opt) == 0) {
        for (int rank : {0, 1, 1023}) (void)rankFileName(opt.output, rank);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file of arguments>\n", argv[0]);
        return 2;
    }
    while (__AFL_LOOP(10000)) parseOnce(argv[1]);
    return 0;
}
