// Fuzzing harness for the two text readers of gasearch: the file named on the command line is read
// as a GA parameter file (for a model with 3 search variables) and as a file of initial individuals
// (for a real-coded and for a binary-coded run of 2 islands of 5). What the readers accept also goes
// through the reports that print it: the parameter summary and the population dump.
//
//   fuzz_ga_files <file>
//
// Under AFL++ instrumentation the reads are repeated in one process (persistent mode); every round
// starts from a fresh configuration and fresh islands, so each round sees the file exactly as a
// fresh process would.
#include <cstdio>
#include <cstring>

#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/initial_individuals.h"

#ifndef __AFL_LOOP
// Without AFL++ the harness reads the file once.
static bool firstRound = true;
#define __AFL_LOOP(n) (firstRound ? (firstRound = false, true) : false)
#endif

namespace {

// The fixed search region: 3 variables of very different scales.
constexpr int kVariables = 3;
constexpr double kMin[kVariables] = {0.0, -1.0, 1e-3};
constexpr double kMax[kVariables] = {1.0, 1.0, 1e3};
// The runs the file of initial individuals is read for.
constexpr int kIslands = 2;
constexpr int kPopulation = 5;
constexpr int kBits = 8;   // bits per variable of the binary-coded run

FILE *sink = nullptr;        // where the reports go: their text is not what is tested here
gaisland islands[kIslands];  // large records: kept out of the stack

// A configuration with the region filled, as gasearch has it before reading its files.
void initConfig(gaparam *p, const char *path) {
    InitializeParam(p);
    p->gaEncodeParam.numVariable = kVariables;
    p->variableRegion.arraySize = kVariables;
    for (int k = 0; k < kVariables; ++k) {
        p->variableRegion.minArray[k] = kMin[k];
        p->variableRegion.maxArray[k] = kMax[k];
    }
    std::snprintf(p->ioParam.paramFileName, sizeof p->ioParam.paramFileName, "%s", path);
    std::snprintf(p->ioParam.individualFileName, sizeof p->ioParam.individualFileName, "%s", path);
    p->ioParam.outputFile = sink;
}

void readIndividuals(gaparam *p, EncodeType encoding, int bits) {
    p->gaEncodeParam.encodeType = encoding;
    p->gaEncodeParam.quantumNumber = bits;
    p->gaEncodeParam.geneLength = kVariables * bits;
    SetDelta(p);
    p->gaTypeParam.numIsland = kIslands;
    p->gaTypeParam.islandPopulation = kPopulation;
    p->gaTypeParam.totalPopulation = kIslands * kPopulation;
    std::memset(islands, 0, sizeof islands);
    for (gaisland &island : islands) {
        island.population = kPopulation;
        for (int i = 0; i < kPopulation; ++i) island.sortedIndex[i] = i;
    }
    if (SetIndividualFromFile(p, islands) == 0) PrintFileAll(0, p, islands);
}

void readOnce(const char *path) {
    static gaparam p;
    initConfig(&p, path);
    if (SetParamsFromFile(&p) == 0) PrintExecuteParameters(&p, sink);

    initConfig(&p, path);
    readIndividuals(&p, EncodeType::Real, 1);
    initConfig(&p, path);
    readIndividuals(&p, EncodeType::Binary, kBits);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
        return 2;
    }
    sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) return 2;
    while (__AFL_LOOP(1000)) readOnce(argv[1]);
    std::fclose(sink);
    return 0;
}
