// The MPI side of the GA's data: the rank and host of this process, and the committed struct
// datatypes of the configuration record and of an island, with their send and receive.
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_mpi.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/mpi_wait.h"

namespace {

// The enum codes of the configuration travel as MPI_INT.
static_assert(sizeof(int) == sizeof(int32_t));

constexpr char kMsgRank[] = " #Error: MPI_Comm_rank(In GetMpiProcInfo).\n";
constexpr char kMsgSize[] = " #Error: MPI_Comm_size(In GetMpiProcInfo).\n";
constexpr char kMsgHost[] = " #Error: MPI_Get_processor_name(In GetMpiProcInfo).\n";
constexpr char kMsgCpu[] = "#####CPU %d/%d (%s)\n";

constexpr char kMsgParamAddress[] = " ## ERROR: MPI_Address(In TypeParamStruct%d).\n";
constexpr char kMsgParamStruct[] = " ## Error: MPI_Type_Struct(In TypeParamStruct).\n";
constexpr char kMsgParamCommit[] = " ## Error: MPI_Type_commit(In TypeParamStruct).\n";
constexpr char kMsgDistribute[] = " ## Error: MPI_Send(In DistributeParams).\n";
constexpr char kMsgAccept[] = " ## Error: MPI_Recv(In AcceptParams).\n";
constexpr char kMsgShare[] = " ## Error: MPI_Bcast(In ShareOptionalParams).\n";

constexpr char kMsgIslandSize[] =
    " ## Error: Invalid island shape (population %d, variables %d, gene length %d)(In TypeIslandStruct).\n";
constexpr char kMsgIslandAddress[] = " ## Error: MPI_Address(In TypeIslandStruct).\n";
constexpr char kMsgIslandStruct[] = " ## Error: MPI_Type_Struct(In TypeIslandStruct).\n";
constexpr char kMsgIslandCommit[] = " ## Error: MPI_Type_Commit(In TypeIslandStruct).\n";
constexpr char kMsgSend[] = " ## Error: MPI_Send(In SendIsland).\n";
constexpr char kMsgRecv[] = " ## Error: MPI_Recv(In RecvIsland).\n";

// One run of fields of the configuration record that travel together. The record has padding
// between some sub-records, so a logical block of the message (numbered 1 to 6: 13 ints,
// 2 doubles, 8 ints, 2 doubles, 1 int, 2 doubles) may span two runs; the type signature of the
// message is that of the six blocks either way.
struct ParamRun {
    int block;
    size_t offset;
    int count;
    bool isDouble;
};

constexpr ParamRun kParamRuns[] = {
    {1, offsetof(gaparam, gaEncodeParam), 4, false},                    // encodeType .. geneLength
    {1, offsetof(gaparam, gaTypeParam), 9, false},                      // gaType .. integrateGeneration
    {2, offsetof(gaparam, gaTypeParam.finValue), 2, true},              // finValue, immigrationRate
    {3, offsetof(gaparam, digenesisParam), 5, false},                   // digenesisType .. numMGGChildren
    {3, offsetof(gaparam, crossoverParam), 3, false},                   // crossoverType, numParent, m
    {4, offsetof(gaparam, crossoverParam.alpha), 2, true},              // alpha, beta
    {5, offsetof(gaparam, mutationParam), 1, false},                    // mutationType
    {6, offsetof(gaparam, mutationParam.mutationRate), 2, true},        // mutationRate, fixedWidth
};

// The runs must really be contiguous fields in this order.
static_assert(offsetof(gaencodeparam, geneLength) == 3 * sizeof(int32_t));
static_assert(offsetof(gatypeparam, integrateGeneration) == 8 * sizeof(int32_t));
static_assert(offsetof(gatypeparam, immigrationRate) == offsetof(gatypeparam, finValue) + sizeof(double));
static_assert(offsetof(digenesisparam, numMGGChildren) == 4 * sizeof(int32_t));
static_assert(offsetof(crossoverparam, m) == 2 * sizeof(int32_t));
static_assert(offsetof(crossoverparam, beta) == offsetof(crossoverparam, alpha) + sizeof(double));
static_assert(offsetof(mutationparam, fixedWidth) == offsetof(mutationparam, mutationRate) + sizeof(double));
static_assert(offsetof(gaisland, sortedIndex) == sizeof(int32_t));
static_assert(offsetof(gagene, gene_r) == sizeof(double));

// Displacement of a field from the start of its record, as MPI measures addresses.
int displacement(const void *base, const void *field, MPI_Aint *out) {
    MPI_Aint b = 0, f = 0;
    if (MPI_Get_address(base, &b) != MPI_SUCCESS || MPI_Get_address(field, &f) != MPI_SUCCESS) return -1;
    *out = MPI_Aint_diff(f, b);
    return 0;
}

// Builds and commits a struct type; the message names the caller on failure.
int commitStruct(const std::vector<int> &lengths, const std::vector<MPI_Aint> &displacements,
                 const std::vector<MPI_Datatype> &types, MPI_Datatype *type, const char *msgStruct,
                 const char *msgCommit) {
    if (MPI_Type_create_struct(static_cast<int>(lengths.size()), lengths.data(), displacements.data(),
                               types.data(), type) != MPI_SUCCESS) {
        log_sys("%s", msgStruct);
        return -1;
    }
    if (MPI_Type_commit(type) != MPI_SUCCESS) {
        log_sys("%s", msgCommit);
        MPI_Type_free(type);
        return -1;
    }
    return 0;
}

}  // namespace

int GetMpiProcInfo(infompiproc *info) {
    int rank = 0, size = 0;
    if (MPI_Comm_rank(MPI_COMM_WORLD, &rank) != MPI_SUCCESS) {
        log_sys(kMsgRank);
        return -1;
    }
    if (MPI_Comm_size(MPI_COMM_WORLD, &size) != MPI_SUCCESS) {
        log_sys(kMsgSize);
        return -1;
    }
    char host[MPI_MAX_PROCESSOR_NAME + 1] = {};
    int length = 0;
    if (MPI_Get_processor_name(host, &length) != MPI_SUCCESS) {
        log_sys(kMsgHost);
        return -1;
    }
    info->myProcRank = rank;
    info->numProcs = size;
    // The record's field may be shorter than the library's longest name: keep what fits.
    const size_t keep = std::min(std::strlen(host), sizeof info->hostname - 1);
    std::memcpy(info->hostname, host, keep);
    info->hostname[keep] = '\0';
    std::fprintf(stderr, kMsgCpu, rank, size, info->hostname);
    return 0;
}

int TypeParamStruct(const gaparam *param, MPI_Datatype *type) {
    constexpr size_t kRuns = std::size(kParamRuns);
    std::vector<int> lengths(kRuns);
    std::vector<MPI_Aint> displacements(kRuns);
    std::vector<MPI_Datatype> types(kRuns);
    const char *base = reinterpret_cast<const char *>(param);
    for (size_t i = 0; i < kRuns; ++i) {
        const ParamRun &r = kParamRuns[i];
        if (displacement(param, base + r.offset, &displacements[i]) != 0) {
            log_sys(kMsgParamAddress, r.block);
            return -1;
        }
        lengths[i] = r.count;
        types[i] = r.isDouble ? MPI_DOUBLE : MPI_INT;
    }
    return commitStruct(lengths, displacements, types, type, kMsgParamStruct, kMsgParamCommit);
}

int DistributeParams(const gaparam *param, MPI_Datatype type) {
    for (int rank = 1; rank < param->mpiInfo.numProcs; ++rank) {
        if (MPI_Send(param, 1, type, rank, 1, MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgDistribute);
            return -1;
        }
    }
    return 0;
}

int AcceptParams(gaparam *param, MPI_Datatype type) {
    if (PoliteRecv(param, 1, type, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS) {
        log_sys(kMsgAccept);
        return -1;
    }
    return 0;
}

int ShareOptionalParams(gaparam *param) {
    static_assert(sizeof(parallelparam) == sizeof(int32_t) && sizeof(refineparam) == 4 * sizeof(int32_t));
    int32_t fields[] = {static_cast<int32_t>(param->parallelParam.grain), param->refineParam.interval,
                        param->refineParam.count, param->refineParam.budget, param->refineParam.spread};
    if (MPI_Bcast(fields, static_cast<int>(std::size(fields)), MPI_INT, 0, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys(kMsgShare);
        return -1;
    }
    param->parallelParam.grain = static_cast<ParallelGrain>(fields[0]);
    param->refineParam = {fields[1], fields[2], fields[3], fields[4]};
    return 0;
}

int TypeIslandStruct(const gaparam *param, const gaisland *island, MPI_Datatype *type) {
    const int population = param->gaTypeParam.islandPopulation;
    const int numVariable = param->gaEncodeParam.numVariable;
    const int geneLength = param->gaEncodeParam.geneLength;
    const bool real = param->gaEncodeParam.encodeType == EncodeType::Real;
    if (population < 1 || population > qv::kGaMaxPopulation || numVariable < 1 ||
        numVariable > ga_variable_limit() || (!real && (geneLength < 1 || geneLength > qv::kGaMaxBits))) {
        log_sys(kMsgIslandSize, population, numVariable, geneLength);
        return -1;
    }
    // population and sortedIndex[0 .. P-1]; then per resident its fitness with the REAL gene
    // (n + 1 doubles), or its fitness and the used bits of the bit string.
    const size_t blocks = 1 + static_cast<size_t>(population) * (real ? 1 : 2);
    std::vector<int> lengths;
    std::vector<MPI_Aint> displacements;
    std::vector<MPI_Datatype> types;
    lengths.reserve(blocks);
    displacements.reserve(blocks);
    types.reserve(blocks);
    bool ok = true;
    auto add = [&](const void *field, int count, MPI_Datatype t) {
        MPI_Aint d = 0;
        ok = ok && displacement(island, field, &d) == 0;
        lengths.push_back(count);
        displacements.push_back(d);
        types.push_back(t);
    };
    add(&island->population, population + 1, MPI_INT);
    for (int k = 0; k < population; ++k) {
        const gagene &g = island->residents[k];
        if (real) {
            add(&g.fitness, numVariable + 1, MPI_DOUBLE);
        } else {
            add(&g.fitness, 1, MPI_DOUBLE);
            add(g.gene_b, geneLength, MPI_CHAR);
        }
    }
    if (!ok) {
        log_sys(kMsgIslandAddress);
        return -1;
    }
    return commitStruct(lengths, displacements, types, type, kMsgIslandStruct, kMsgIslandCommit);
}

int SendIsland(const gaisland *island, MPI_Datatype type, int destination, int tag, MPI_Comm comm) {
    if (MPI_Send(island, 1, type, destination, tag, comm) != MPI_SUCCESS) {
        log_sys(kMsgSend);
        return -1;
    }
    return 0;
}

// Waits without spinning: a worker idles here between islands, the master while workers compute.
int RecvIsland(gaisland *island, MPI_Datatype type, int source, int tag, MPI_Comm comm, MPI_Status *status) {
    if (PoliteRecv(island, 1, type, source, tag, comm, status) != MPI_SUCCESS) {
        log_sys(kMsgRecv);
        return -1;
    }
    return 0;
}

void copy_island(gaisland *destination, const gaisland *source) {
    // Only the residents in use: the rest of the arrays carries nothing.
    const int n = std::clamp(source->population, 0, qv::kGaMaxPopulation);
    destination->population = source->population;
    std::memcpy(destination->sortedIndex, source->sortedIndex, static_cast<size_t>(n) * sizeof(int32_t));
    std::memcpy(destination->residents, source->residents, static_cast<size_t>(n) * sizeof(gagene));
}
