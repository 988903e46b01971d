// The checkpoint file of a GA run: a binary record of this machine's layout (the run goes on on
// the same build), read back only by a run of the same configuration.
//
//   "QVGACKP1", Header, bestgene, refinetotals, RandomStreamState,
//   per island in use: population, sortedIndex[population], residents[population], then "QVGAEND1".
#include "quorvant/galib/ga_checkpoint.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "quorvant/common/file_owner.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/integrate.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr char kMagic[8] = {'Q', 'V', 'G', 'A', 'C', 'K', 'P', '1'};
constexpr char kEnd[8] = {'Q', 'V', 'G', 'A', 'E', 'N', 'D', '1'};
constexpr char kTemporarySuffix[] = ".tmp";

constexpr char kMsgWrite[] = " ## Error: Cannot write the checkpoint file '%s'.\n";
constexpr char kMsgRead[] = " ## Error: Cannot read the checkpoint file '%s'.\n";
constexpr char kMsgOther[] = " ## Error: The checkpoint file '%s' was written for another configuration.\n";
constexpr char kMsgResumed[] = "Resumed from '%s' after generation %d.\n";

// What the state depends on; a checkpoint of another configuration is refused.
struct Header {
    int32_t generation;
    int32_t numIsland;          // in use (1 after a DIGA merge)
    int32_t configuredIslands;
    int32_t islandPopulation;
    int32_t encodeType;
    int32_t numVariable;
    int32_t geneLength;
    int32_t digenesisType;
    int32_t gaType;
    int32_t integrateGeneration;   // DIGA: the merge (0 with DGA)
};

Header headerOf(const gaparam *param, int numIsland, int generation) {
    const gaencodeparam &e = param->gaEncodeParam;
    const gatypeparam &t = param->gaTypeParam;
    // The islands of the file (a DIGA merge leaves numIsland at 1, not the total population).
    const int32_t configured = t.islandPopulation > 0 ? t.totalPopulation / t.islandPopulation : 0;
    return {generation,
            numIsland,
            configured,
            t.islandPopulation,
            static_cast<int32_t>(e.encodeType),
            e.numVariable,
            e.geneLength,
            static_cast<int32_t>(param->digenesisParam.digenesisType),
            static_cast<int32_t>(t.gaType),
            t.gaType == GaType::DIGA ? t.integrateGeneration : 0};
}

bool put(FILE *fp, const void *data, size_t bytes) { return std::fwrite(data, 1, bytes, fp) == bytes; }
bool get(FILE *fp, void *data, size_t bytes) { return std::fread(data, 1, bytes, fp) == bytes; }

bool writeState(FILE *fp, const gaparam *param, const gaisland *islands, int numIsland, int generation) {
    const Header h = headerOf(param, numIsland, generation);
    RandomStreamState stream;
    GetRandomStreamState(&stream);
    bool ok = put(fp, kMagic, sizeof kMagic) && put(fp, &h, sizeof h) &&
              put(fp, &param->bestGene, sizeof param->bestGene) &&
              put(fp, &param->refineTotals, sizeof param->refineTotals) && put(fp, &stream, sizeof stream);
    for (int i = 0; ok && i < numIsland; ++i) {
        const gaisland &is = islands[i];
        const size_t n = static_cast<size_t>(is.population);
        ok = put(fp, &is.population, sizeof is.population) && put(fp, is.sortedIndex, n * sizeof(int32_t)) &&
             put(fp, is.residents, n * sizeof(gagene));
    }
    return ok && put(fp, kEnd, sizeof kEnd);
}

}  // namespace

int WriteCheckpointIfDue(const gaparam *param, const gaisland *islands, int numIsland, int generation) {
    const checkpointparam &c = param->checkpointParam;
    if (c.fileName[0] == '\0' || c.interval < 1 || generation < 1 || generation % c.interval != 0) return 0;
    std::string temporary = c.fileName;
    temporary += kTemporarySuffix;
    bool ok = false;
    {
        qv::File fp(qv::open_file(temporary.c_str(), "wb"));
        ok = fp && writeState(fp.get(), param, islands, numIsland, generation) && std::fflush(fp.get()) == 0;
        if (fp && std::fclose(fp.release()) != 0) ok = false;
    }
    if (!ok || std::rename(temporary.c_str(), c.fileName) != 0) {
        std::remove(temporary.c_str());
        log_sys(kMsgWrite, c.fileName);
        return -1;
    }
    return 0;
}

int ReadCheckpoint(gaparam *param, gaisland *islands, int *numIsland, int *generation) {
    const char *name = param->checkpointParam.resumeFileName;
    qv::File fp(qv::open_file(name, "rb"));
    char magic[sizeof kMagic] = {};
    Header h{};
    if (!fp || !get(fp.get(), magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0 ||
        !get(fp.get(), &h, sizeof h)) {
        log_sys(kMsgRead, name);
        return -1;
    }
    const Header want = headerOf(param, h.numIsland, h.generation);
    if (std::memcmp(&h, &want, sizeof h) != 0 || h.generation < 0 || h.numIsland < 1 ||
        h.numIsland > h.configuredIslands || (h.numIsland != h.configuredIslands && h.numIsland != 1)) {
        log_sys(kMsgOther, name);
        return -1;
    }
    bestgene best{};
    refinetotals totals{};
    RandomStreamState stream;
    bool ok = get(fp.get(), &best, sizeof best) && get(fp.get(), &totals, sizeof totals) &&
              get(fp.get(), &stream, sizeof stream);
    for (int i = 0; ok && i < h.numIsland; ++i) {
        gaisland &is = islands[i];
        ok = get(fp.get(), &is.population, sizeof is.population) && is.population == h.islandPopulation &&
             get(fp.get(), is.sortedIndex, static_cast<size_t>(is.population) * sizeof(int32_t)) &&
             get(fp.get(), is.residents, static_cast<size_t>(is.population) * sizeof(gagene));
        for (int k = 0; ok && k < is.population; ++k)
            ok = is.sortedIndex[k] >= 0 && is.sortedIndex[k] < is.population;
    }
    char end[sizeof kEnd] = {};
    ok = ok && get(fp.get(), end, sizeof end) && std::memcmp(end, kEnd, sizeof end) == 0 &&
         std::fgetc(fp.get()) == EOF && SetRandomStreamState(&stream) == 0;
    if (!ok) {
        log_sys(kMsgRead, name);
        return -1;
    }
    param->bestGene = best;
    param->refineTotals = totals;
    if (h.numIsland != h.configuredIslands) AjustParamsAfterIntegrate(param);
    *numIsland = h.numIsland;
    *generation = h.generation;
    std::printf(kMsgResumed, name, h.generation);
    return 0;
}
