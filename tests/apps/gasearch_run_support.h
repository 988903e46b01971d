// What the gasearch end-to-end tests share: the linear chain model with both rate constants
// searched, and the progress lines of a run's log.
#ifndef QUORVANT_TEST_GASEARCH_RUN_SUPPORT_H
#define QUORVANT_TEST_GASEARCH_RUN_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "test_simulator_support.h"

namespace gatest {

// The linear chain with both rate constants searched; its fitness -(X2(5) - 0.5)^2 is at most 0.
inline const std::string kLinearModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;5\nDELTA_T;0.01\nDELTA_M;0.5\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\n"
    "PARAM;k1;1;1.0;;;S;;0.1;10\nPARAM;k2;1;0.5;;;S;;0.01;1\n"
    "Y_START;1;1.0\nY_START;2;0.5\n";

// The log without the start-up lines that every rank writes ("#####CPU r/n (host)" and the clock
// line of the system log). mpiexec forwards each rank's streams on its own, so such a line may land
// inside a line of rank 0's progress; taken out, the progress line is whole again.
inline std::string withoutRankLines(const std::string &log) {
    // By hand rather than with <regex>, which g++ 12 warns about in sanitizer builds.
    std::string out = log;
    for (size_t at = out.find("#####CPU "); at != std::string::npos; at = out.find("#####CPU ", at)) {
        const size_t close = out.find(")\n", at), nl = out.find('\n', at);
        if (close == std::string::npos || nl < close) {
            at += 9;
            continue;
        }
        out.erase(at, close + 2 - at);
    }
    // "Www Mmm dd hh:mm:ss yyyy : Start!! : ..." (24 characters of date before the marker).
    const std::string marker = " : Start!! : ";
    for (size_t at = out.find(marker); at != std::string::npos; at = out.find(marker, at)) {
        const size_t nl = out.find('\n', at);
        if (at < 24 || nl == std::string::npos || out[at - 24] < 'A' || out[at - 24] > 'Z') {
            at += marker.size();
            continue;
        }
        out.erase(at - 24, nl + 1 - (at - 24));
        at -= 24;
    }
    return out;
}

// One line "generation[g], Obtain: o, Fitness: f, Gene: (x1, x2, ...)" of rank 0's output.
struct Progress {
    int generation;
    int obtained;
    double fitness;
    std::vector<double> gene;
};

inline std::vector<Progress> progressLines(const std::string &log) {
    std::vector<Progress> out;
    for (const std::string &line : simtest::split_lines(withoutRankLines(log))) {
        Progress p{};
        int used = 0;
        if (std::sscanf(line.c_str(), "generation[%d], Obtain: %d, Fitness: %le, Gene: (%n", &p.generation,
                        &p.obtained, &p.fitness, &used) != 3 ||
            used == 0 || line.back() != ')')
            continue;
        p.gene = simtest::numbers(line.substr(used, line.size() - used - 1));
        out.push_back(p);
    }
    return out;
}

}  // namespace gatest

#endif
