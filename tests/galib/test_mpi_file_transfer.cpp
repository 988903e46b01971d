// The MPI pieces of the GA, run for real under mpiexec: the file transfer (both pairs), the polite
// wait, and the datatypes of the configuration record and of an island.
//
// Built twice: with QV_MPI_PROBE_MAIN it is the small MPI program that does one scenario and prints
// what each rank saw ("rank <r> ..." lines); without, it is the test that runs that program in a
// temporary directory on 1, 2 or 4 processes and checks the lines and the files.
#ifdef QV_MPI_PROBE_MAIN

#include <mpi.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "quorvant/galib/ga_mpi.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/mpi_wait.h"
#include "quorvant/searchlib/utl_mpi_ft.h"

namespace {

int Rank = 0;
int Size = 1;

// A record whose every byte is `fill`, with the fields that travel set to values derived from
// their position: sender and receiver build the same expectation independently.
void fillParam(gaparam *p, unsigned char fill) {
    std::memset(static_cast<void *>(p), fill, sizeof *p);
    int32_t *ints[] = {
        reinterpret_cast<int32_t *>(&p->gaEncodeParam.encodeType), &p->gaEncodeParam.numVariable,
        &p->gaEncodeParam.quantumNumber, &p->gaEncodeParam.geneLength,
        reinterpret_cast<int32_t *>(&p->gaTypeParam.gaType), &p->gaTypeParam.maxGeneration,
        &p->gaTypeParam.totalPopulation, &p->gaTypeParam.numIsland, &p->gaTypeParam.islandPopulation,
        reinterpret_cast<int32_t *>(&p->gaTypeParam.immigrationSwitch), &p->gaTypeParam.immigrationInterval,
        &p->gaTypeParam.numImmigrants, &p->gaTypeParam.integrateGeneration,
        reinterpret_cast<int32_t *>(&p->digenesisParam.digenesisType), &p->digenesisParam.numElite,
        reinterpret_cast<int32_t *>(&p->digenesisParam.selectionType), &p->digenesisParam.tournamentSize,
        &p->digenesisParam.numMGGChildren, reinterpret_cast<int32_t *>(&p->crossoverParam.crossoverType),
        &p->crossoverParam.numParent, &p->crossoverParam.m,
        reinterpret_cast<int32_t *>(&p->mutationParam.mutationType)};
    double *doubles[] = {&p->gaTypeParam.finValue, &p->gaTypeParam.immigrationRate, &p->crossoverParam.alpha,
                         &p->crossoverParam.beta, &p->mutationParam.mutationRate, &p->mutationParam.fixedWidth};
    int k = 0;
    for (int32_t *v : ints) *v = 1000 + 7 * k++;
    for (double *v : doubles) *v = -0.125 * k++;
}

void fillIsland(gaisland *island, unsigned char fill, int population, bool real, int width) {
    std::memset(static_cast<void *>(island), fill, sizeof *island);
    island->population = population;
    for (int k = 0; k < population; ++k) {
        island->sortedIndex[k] = population - 1 - k;
        island->residents[k].fitness = -1.5 * k - 0.25;
        for (int j = 0; j < width; ++j) {
            if (real)
                island->residents[k].gene_r[j] = k + j / 64.0;
            else
                island->residents[k].gene_b[j] = static_cast<char>((k + j) % 2);
        }
    }
}

// First differing byte, or -1.
long firstDifference(const void *a, const void *b, size_t n) {
    const auto *x = static_cast<const unsigned char *>(a);
    const auto *y = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < n; ++i)
        if (x[i] != y[i]) return static_cast<long>(i);
    return -1;
}

void report(const char *what, long diff) {
    if (diff < 0)
        std::printf("rank %d %s ok\n", Rank, what);
    else
        std::printf("rank %d %s differs at byte %ld\n", Rank, what, diff);
}

// transfer <bcast|slave> <source> <target with %d for the rank>
int transfer(const std::string &pair, const char *source, std::string target) {
    int result = 0;
    if (Rank == 0) {
        result = pair == "slave" ? SendFileAllSlave(source) : BcastFileSend(source);
    } else {
        const size_t at = target.find("%d");
        if (at != std::string::npos) target.replace(at, 2, std::to_string(Rank));
        result = pair == "slave" ? RecvFile(target.c_str()) : BcastFileRecv(target.c_str());
    }
    std::printf("rank %d result %d\n", Rank, result);
    return 0;
}

struct IslandCase {
    const char *name;
    bool real;
    int population, numVariable, quantum;
};

constexpr IslandCase kIslands[] = {
    {"REAL", true, 7, 3, 1},
    {"GRAY", false, 5, 3, 10},
    {"REAL-max", true, qv::kGaMaxPopulation, qv::kGaMaxVariable, 1},
    {"BINARY-max", false, qv::kGaMaxPopulation, qv::kGaMaxVariable, 20},
};

// Rank 0 sends a configuration and one island per case to rank 1, which compares the whole
// records, padding and untransmitted fields included, with what it expects.
int types() {
    auto param = std::make_unique<gaparam>();
    auto expected = std::make_unique<gaparam>();
    MPI_Datatype paramType = MPI_DATATYPE_NULL;
    if (TypeParamStruct(param.get(), &paramType) != 0) return -1;
    int bytes = 0;
    MPI_Type_size(paramType, &bytes);
    std::printf("rank %d param size %d\n", Rank, bytes);
    param->mpiInfo.numProcs = Size;
    if (Rank == 0) {
        fillParam(param.get(), 0x3C);
        param->mpiInfo.numProcs = Size;
        if (DistributeParams(param.get(), paramType) != 0) return -1;
    } else if (Rank == 1) {
        std::memset(static_cast<void *>(param.get()), 0xA5, sizeof *param);
        fillParam(expected.get(), 0xA5);
        if (AcceptParams(param.get(), paramType) != 0) return -1;
        report("param", firstDifference(param.get(), expected.get(), sizeof *param));
    }
    MPI_Type_free(&paramType);

    auto island = std::make_unique<gaisland>();
    auto want = std::make_unique<gaisland>();
    auto copy = std::make_unique<gaisland>();
    for (const IslandCase &c : kIslands) {
        gaparam shape{};
        shape.gaEncodeParam.encodeType = c.real ? EncodeType::Real : EncodeType::Gray;
        shape.gaEncodeParam.numVariable = c.numVariable;
        shape.gaEncodeParam.quantumNumber = c.quantum;
        shape.gaEncodeParam.geneLength = c.numVariable * c.quantum;
        shape.gaTypeParam.islandPopulation = c.population;
        const int width = c.real ? c.numVariable : c.numVariable * c.quantum;
        MPI_Datatype islandType = MPI_DATATYPE_NULL;
        if (TypeIslandStruct(&shape, island.get(), &islandType) != 0) return -1;
        MPI_Type_size(islandType, &bytes);
        std::printf("rank %d island %s size %d\n", Rank, c.name, bytes);
        if (Rank == 0 && Size > 1) {
            fillIsland(island.get(), 0x3C, c.population, c.real, width);
            if (SendIsland(island.get(), islandType, 1, 1, MPI_COMM_WORLD) != 0) return -1;
        } else if (Rank == 1) {
            std::memset(static_cast<void *>(island.get()), 0xA5, sizeof *island);
            fillIsland(want.get(), 0xA5, c.population, c.real, width);
            MPI_Status status;
            if (RecvIsland(island.get(), islandType, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &status) != 0)
                return -1;
            report((std::string("island ") + c.name).c_str(), firstDifference(island.get(), want.get(), sizeof *island));
            // copy_island: the used residents and their order, never the migration buffers.
            std::memset(static_cast<void *>(copy.get()), 0x5A, sizeof *copy);
            fillIsland(want.get(), 0x5A, c.population, c.real, width);
            copy_island(copy.get(), island.get());
            const size_t used = offsetof(gaisland, residents) + c.population * sizeof(gagene);
            long diff = firstDifference(copy.get(), island.get(), offsetof(gaisland, sortedIndex) +
                                                                      c.population * sizeof(int32_t));
            if (diff < 0) diff = firstDifference(copy->residents, island->residents, c.population * sizeof(gagene));
            if (diff < 0)
                diff = firstDifference(reinterpret_cast<char *>(copy.get()) + used,
                                       reinterpret_cast<char *>(want.get()) + used, sizeof *copy - used);
            report((std::string("copy ") + c.name).c_str(), diff);
        }
        MPI_Type_free(&islandType);
    }
    return 0;
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double wallSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Rank 1 makes rank 0 wait for two messages, one for each polite wait; rank 0 reports the CPU
// time it used while waiting.
int wait() {
    constexpr useconds_t kDelay = 400'000;
    for (int tag = 5; tag <= 6; ++tag) {
        int value = 0;
        if (Rank == 1) {
            usleep(kDelay);
            value = 37 + tag;
            MPI_Send(&value, 1, MPI_INT, 0, tag, MPI_COMM_WORLD);
        } else if (Rank == 0) {
            const double cpu = cpuSeconds(), wall = wallSeconds();
            MPI_Status status;
            int rc = 0;
            if (tag == 5) {
                rc = PoliteRecv(&value, 1, MPI_INT, MPI_ANY_SOURCE, tag, MPI_COMM_WORLD, &status);
            } else {
                rc = PoliteProbe(1, MPI_ANY_TAG, MPI_COMM_WORLD, &status);
                if (rc == MPI_SUCCESS) rc = MPI_Recv(&value, 1, MPI_INT, status.MPI_SOURCE, status.MPI_TAG,
                                                     MPI_COMM_WORLD, MPI_STATUS_IGNORE);
            }
            std::printf("rank 0 %s rc %d value %d source %d cpu %.4f wall %.4f\n", tag == 5 ? "recv" : "probe", rc,
                        value, status.MPI_SOURCE, cpuSeconds() - cpu, wallSeconds() - wall);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    MPI_Init(&argc, &argv);
    MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
    MPI_Comm_size(MPI_COMM_WORLD, &Size);
    const std::string scenario = argc > 1 ? argv[1] : "";
    int rc = -1;
    if (scenario == "transfer" && argc == 5) rc = transfer(argv[2], argv[3], argv[4]);
    if (scenario == "types") rc = types();
    if (scenario == "wait") rc = wait();
    std::fflush(stdout);
    if (rc != 0) MPI_Abort(MPI_COMM_WORLD, 2);
    MPI_Finalize();
    return 0;
}

#else   // the test

#include <cstddef>

#include "quorvant/galib/ga_types.h"
#include "../apps/test_simulator_support.h"

namespace {

using namespace simtest;

constexpr char kProbe[] = "mpi_transfer_probe";

class MpiPieces : public SimulatorRun {
protected:
    RunResult probe(int nprocs, const std::vector<std::string> &args) { return run(kProbe, nprocs, args); }
    static bool has(const RunResult &r, const std::string &line) { return r.log.find(line) != std::string::npos; }
};

std::string binaryWithoutFinalNewline() {
    std::string s;
    for (int i = 0; i < 3 * 256; ++i) s += static_cast<char>((i * 37) & 0xff);   // NULs and high bytes
    return s + "\r\nlast line";
}

struct TransferCase {
    const char *name;
    const char *pair;   // bcast: BcastFileSend/Recv, slave: SendFileAllSlave/RecvFile
    int nprocs;
    std::string content;
};

TEST_F(MpiPieces, EveryRankReceivesTheFileByteForByte) {
    std::string large;
    for (int i = 0; i < 200000; ++i) large += static_cast<char>('A' + i % 61);
    const TransferCase cases[] = {
        {"empty, one process", "bcast", 1, ""},
        {"empty", "bcast", 2, ""},
        {"empty, rsearch pair", "slave", 4, ""},
        {"binary", "bcast", 4, binaryWithoutFinalNewline()},
        {"binary, rsearch pair", "slave", 2, binaryWithoutFinalNewline()},
        {"large", "bcast", 2, large},
    };
    for (const TransferCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("model.in", c.content);
        for (int r = 1; r < 4; ++r) fs::remove(dir / ("copy_" + std::to_string(r)));
        const RunResult r = probe(c.nprocs, {"transfer", c.pair, "model.in", "copy_%d"});
        EXPECT_EQ(r.status, 0) << r.log;
        for (int rank = 0; rank < c.nprocs; ++rank) {
            EXPECT_TRUE(has(r, "rank " + std::to_string(rank) + " result 0\n")) << r.log;
            if (rank == 0) continue;
            const std::string copy = "copy_" + std::to_string(rank);
            ASSERT_TRUE(exists(copy)) << copy;
            EXPECT_EQ(fs::file_size(dir / copy), c.content.size());
            EXPECT_TRUE(file(copy) == c.content) << copy;
        }
        EXPECT_EQ(file("model.in"), c.content);   // the sender's file is left as it was
        if (c.nprocs == 1) {
            EXPECT_FALSE(exists("copy_1"));
        }
    }
}

struct FailureCase {
    const char *name;
    const char *pair;
    int nprocs;
    std::string source, target;
    std::string message;   // the whole line of the failing rank
    int failingRank;
};

TEST_F(MpiPieces, FailuresReportTheirMessageAndLeaveNoFile) {
    const std::string longComponent(256, 'c');
    std::string longPath;
    while (longPath.size() < 4100) longPath += "d/";
    const std::string tooLong = " ## Error: The name of the received file is too long (at most 4095 characters, "
                                "255 between two '/'): '";
    const FailureCase cases[] = {
        {"missing file", "bcast", 1, "missing.txt", "copy_%d", " ## Error: Cannot open missing.txt\n", 0},
        {"missing file, rsearch pair", "slave", 1, "missing.txt", "copy_%d", " ## Error: Cannot open missing.txt\n", 0},
        {"unwritable directory", "bcast", 2, "model.in", "nodir/copy_%d", " ## Error: Cannot open nodir/copy_1\n", 1},
        {"unwritable directory, rsearch pair", "slave", 2, "model.in", "nodir/copy_%d",
         " ## Error: Cannot open nodir/copy_1\n", 1},
        {"empty name", "bcast", 2, "model.in", "", " ## Error: The name of the received file is empty.\n", 1},
        {"empty name, rsearch pair", "slave", 2, "model.in", "", " ## Error: The name of the received file is empty.\n", 1},
        {"component longer than NAME_MAX", "bcast", 2, "model.in", longComponent + "_%d", tooLong + longComponent.substr(0, 64) + "...'\n", 1},
        {"path longer than PATH_MAX", "slave", 2, "model.in", longPath + "copy_%d", tooLong + longPath.substr(0, 64) + "...'\n", 1},
    };
    writeFile("model.in", "N_VAR;1\n");
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = probe(c.nprocs, {"transfer", c.pair, c.source, c.target});
        EXPECT_EQ(r.status, 0) << r.log;
        EXPECT_TRUE(has(r, c.message)) << r.log;
        // The failing rank returns -1; a sender whose receivers fail after both broadcasts has
        // completed its side.
        for (int rank = 0; rank < c.nprocs; ++rank) {
            const int expect = rank == c.failingRank ? -1 : 0;
            EXPECT_TRUE(has(r, "rank " + std::to_string(rank) + " result " + std::to_string(expect) + "\n")) << r.log;
        }
        size_t entries = 0;
        for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir)) ++entries;
        EXPECT_EQ(entries, 2u) << "only model.in and run.log";
    }
}

TEST_F(MpiPieces, ConfigurationAndIslandsArriveInExactlyTheTransmittedFields) {
    const RunResult r = probe(2, {"types"});
    ASSERT_EQ(r.status, 0) << r.log;
    // 13 + 8 + 1 ints and 2 + 2 + 2 doubles.
    EXPECT_TRUE(has(r, "rank 0 param size " + std::to_string(22 * 4 + 6 * 8) + "\n")) << r.log;
    EXPECT_TRUE(has(r, "rank 1 param ok\n")) << r.log;
    struct Island {
        const char *name;
        bool real;
        int population, numVariable, geneLength;
    };
    const Island islands[] = {
        {"REAL", true, 7, 3, 3},
        {"GRAY", false, 5, 3, 30},
        {"REAL-max", true, qv::kGaMaxPopulation, qv::kGaMaxVariable, qv::kGaMaxVariable},
        {"BINARY-max", false, qv::kGaMaxPopulation, qv::kGaMaxVariable, qv::kGaMaxBits},
    };
    for (const Island &i : islands) {
        SCOPED_TRACE(i.name);
        // P + 1 ints; then P (n + 1) doubles, or P doubles and P L chars.
        const int P = i.population;
        const int size = (P + 1) * 4 + (i.real ? P * (i.numVariable + 1) * 8 : P * 8 + P * i.geneLength);
        for (int rank = 0; rank < 2; ++rank) {
            EXPECT_TRUE(has(r, "rank " + std::to_string(rank) + " island " + i.name + " size " + std::to_string(size) + "\n"))
                << r.log;
        }
        EXPECT_TRUE(has(r, std::string("rank 1 island ") + i.name + " ok\n")) << r.log;
        EXPECT_TRUE(has(r, std::string("rank 1 copy ") + i.name + " ok\n")) << r.log;
    }
}

TEST_F(MpiPieces, PoliteWaitsDeliverWithoutSpinningACore) {
    const RunResult r = probe(2, {"wait"});
    ASSERT_EQ(r.status, 0) << r.log;
    for (const char *what : {"recv", "probe"}) {
        SCOPED_TRACE(what);
        int rc = -1, value = 0, source = -1;
        double cpu = -1, wall = -1;
        bool found = false;
        for (const std::string &line : split_lines(r.log)) {
            if (std::sscanf(line.c_str(), (std::string("rank 0 ") + what + " rc %d value %d source %d cpu %lf wall %lf").c_str(),
                            &rc, &value, &source, &cpu, &wall) == 5)
                found = true;
        }
        ASSERT_TRUE(found) << r.log;
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(value, std::string(what) == "recv" ? 42 : 43);
        EXPECT_EQ(source, 1);
        EXPECT_GE(wall, 0.3);
        // A busy wait would use about as much CPU as wall time.
        EXPECT_LT(cpu, 0.25 * wall);
    }
}

}  // namespace

#endif
