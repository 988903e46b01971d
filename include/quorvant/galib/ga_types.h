// The GA's shared data model: the configuration record `gaparam` with its sub-records, one
// individual `gagene`, one island `gaisland`, and the GA's limits.
#ifndef QUORVANT_GALIB_GA_TYPES_H
#define QUORVANT_GALIB_GA_TYPES_H

#include <cstdint>
#include <cstdio>
#include <limits>

#include "quorvant/common/limits.h"

namespace qv {

constexpr int kGaMaxVariable = kMaxGaSearch;           // search variables of a plain model
constexpr int kGaVariableRoom = kMaxSearchVariables;    // the arrays' room: a model with its own objective may use it all
constexpr int kGaMaxBits = 400;          // bits of a bit-string gene
constexpr int kGaMaxPopulation = 1000;   // individuals per island
constexpr int kGaMaxMggChildren = 998;   // MGG children per family (+2 parents = island capacity)
constexpr int kGaNameSize = 4095;        // file-name fields: at most 4094 characters and the NUL

// Fitness of an individual that was never evaluated: the lowest finite double.
constexpr double kGaUnevaluated = std::numeric_limits<double>::lowest();

}  // namespace qv

// Codes of the configuration. 0 (Unset) means "not given"; the other values are the codes that the
// parameter file and the reports use.
enum class EncodeType : int32_t { Unset = 0, Real = 1, Binary = 2, Gray = 3 };

enum class GaType : int32_t { Unset = 0, DGA = 1, DIGA = 2 };
enum class ImmigrationSwitch : int32_t { Unset = 0, RandomSwap = 1, RandomRing = 2, Off = 3 };
enum class DigenesisType : int32_t { Unset = 0, Normal = 1, MGG = 2 };
enum class SelectionType : int32_t { Unset = 0, Roulette = 1, Tournament = 2, Random = 3 };
enum class CrossoverType : int32_t { Unset = 0, BLX = 1, UNDX = 2, UNDXm = 3, SPX = 4, NPoints = 5, None = 6 };

// What a worker of a parallel run gets per message: a whole island-generation, or the evaluations
// (and refinements) of individuals that the master deals out while it runs the serial algorithm.
enum class ParallelGrain : int32_t { Unset = 0, Island = 1, Individual = 2 };

enum class MutationType : int32_t {
    Unset = 0, RegionUni = 1, FixedUni = 2, FixedNormal = 3, VariableUni = 4, VariableNormal = 5,
    BitReverse = 6, None = 7
};

struct gaencodeparam {              // keyword ENCODE
    EncodeType encodeType;
    int32_t numVariable;            // search variables (from the model file's GA ranges)
    int32_t quantumNumber;          // bits per variable (BINARY, GRAY); 1 for REAL
    int32_t geneLength;             // numVariable * quantumNumber
};

struct gatypeparam {                // keyword GATYPE
    GaType gaType;
    int32_t maxGeneration;
    int32_t totalPopulation;        // numIsland * islandPopulation
    int32_t numIsland;
    int32_t islandPopulation;
    ImmigrationSwitch immigrationSwitch;
    int32_t immigrationInterval;
    int32_t numImmigrants;          // immigrationRate * islandPopulation, truncated
    int32_t integrateGeneration;    // DIGA: generation at which the islands are merged
    double finValue;                // the run stops once the best fitness is strictly greater
    double immigrationRate;
};

struct digenesisparam {             // keyword DIGENESIS (generation alternation)
    DigenesisType digenesisType;
    int32_t numElite;
    SelectionType selectionType;
    int32_t tournamentSize;
    int32_t numMGGChildren;
};

struct crossoverparam {             // keyword CROSSOVER
    CrossoverType crossoverType;
    int32_t numParent;
    int32_t m;                      // UNDXm: primary directions; NPOINTS: cut points
    double alpha;                   // BLX, UNDX(m): alpha; SPX: epsilon
    double beta;                    // UNDX(m)
};

struct mutationparam {              // keyword MUTATION
    MutationType mutationType;
    double mutationRate;
    double fixedWidth;              // FixedUni: width; FixedNormal: standard deviation
};

struct parallelparam {              // keyword PARALLEL (optional)
    ParallelGrain grain;            // Unset: not given, the island grain
};

struct refineparam {                // keyword REFINE (optional)
    int32_t interval;               // generations between refinements; 0: no REFINE line
    int32_t count;                  // best individuals of each island refined
    int32_t budget;                 // objective evaluations one refinement may spend
    int32_t spread;                 // more individuals of each island refined, across the ranking
};

// What the refinements of a run spent so far, as the model counts it.
struct refinetotals {
    long refinements;
    long evaluations;
    long gradients;
};

struct checkpointparam {            // keyword CHECKPOINT (optional) and option -R
    char fileName[qv::kGaNameSize];        // the state is written here ("" = no CHECKPOINT line)
    int32_t interval;                      // generations between two states written
    char resumeFileName[qv::kGaNameSize];  // -R: the state the run goes on from ("" = none)
};

struct gaioparam {
    char paramFileName[qv::kGaNameSize];
    char regionFileName[qv::kGaNameSize];       // never filled
    char individualFileName[qv::kGaNameSize];   // -s: file of initial individuals ("" = none)
    char outputFileName[qv::kGaNameSize];       // -f: report file
    FILE *outputFile;                           // the open report stream, or null
};

struct variableregion {
    int32_t arraySize;
    double minArray[qv::kGaVariableRoom];
    double maxArray[qv::kGaVariableRoom];
    double delta[qv::kGaVariableRoom];   // one quantum: (max - min) / (2^quantumNumber - 1)
};

struct gagene {                     // one individual
    double fitness;
    union {
        double gene_r[qv::kGaVariableRoom];   // REAL
        char gene_b[qv::kGaMaxBits];         // BINARY, GRAY: one 0/1 per char, MSB first per variable
    };
};

struct bestgene {
    gagene gaGene;
    int32_t obtainedGeneration;
};

struct comline {
    int32_t argc;
    char **argv;
};

struct infompiproc {
    int32_t myProcRank;
    int32_t numProcs;
    char hostname[255];
};

struct gaisland {
    int32_t population;                               // residents in use
    int32_t sortedIndex[qv::kGaMaxPopulation];        // resident indices, best first after a sort
    gagene residents[qv::kGaMaxPopulation];
    int32_t *emigrants;                               // RandomRing buffers (numImmigrants each)
    gagene *immigrants;
};

struct gaparam {
    gaencodeparam gaEncodeParam;
    gatypeparam gaTypeParam;
    digenesisparam digenesisParam;
    crossoverparam crossoverParam;
    mutationparam mutationParam;
    gaioparam ioParam;
    variableregion variableRegion;
    comline comLine;
    bestgene bestGene;
    infompiproc mpiInfo;
    parallelparam parallelParam;
    refineparam refineParam;
    refinetotals refineTotals;
    checkpointparam checkpointParam;
};

#endif
