// The GA engine against independent results: the fitness bridge against the closed-form solution
// of the linear chain model, and the island operations against the invariants they must keep.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/immigration.h"
#include "quorvant/galib/integrate.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/galib/selection.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// The linear chain X1 -k1-> X2 -k2->, X1(0) = 1, X2(0) = 0.5, sampled every 0.5 up to t = 5; the
// model's fitness is -(X2(5) - 0.5)^2.
const std::string kModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;5\nDELTA_T;0.001\nDELTA_M;0.5\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\n"
    "PARAM;k1;1;1.0;;;S;;0.1;10\n"
    "PARAM;k2;1;0.5;;;S;;0.01;1\n"
    "Y_START;1;1.0\nY_START;2;0.5\n";

double closedFormFitness(double k1, double k2) {
    const double t = 5.0;
    const double x2 = 0.5 * std::exp(-k2 * t) + k1 / (k2 - k1) * (std::exp(-k1 * t) - std::exp(-k2 * t));
    return -(x2 - 0.5) * (x2 - 0.5);
}

class Bridge : public ::testing::Test {
protected:
    void load(const std::string &text) {
        char path[] = "/tmp/qv_ga_engine_XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
        resetParamTab();
        resetInputData();
        double y[qv::kStateSize] = {};
        double t0 = 0, t1 = 0, dt = 0, dm = 0;
        testing::internal::CaptureStdout();
        const int rc = Set_data(y, &t0, &t1, &dt, &dm, path);
        const std::string log = testing::internal::GetCapturedStdout();
        unlink(path);
        ASSERT_EQ(rc, 0) << log;
        PreserveDefaultQvParam(t0, t1, dt, dm, y);
        ASSERT_EQ(AllocSolutionMatrix(), 0);
    }
    void TearDown() override {
        FreeSolutionMatrix();
        resetParamTab();
        resetInputData();
    }
    double evaluate(double k1, double k2) {
        const double x[2] = {k1, k2};
        double f = 12345.0;
        EXPECT_EQ(QvFitness(x, 2, 0, nullptr, &f), 0);
        return f;
    }
};

TEST_F(Bridge, EvaluationsMatchTheClosedFormAndDoNotInfluenceEachOther) {
    load(kModel);
    EXPECT_EQ(SolutionMatrixRows(), 10 + 50);
    const double cases[][2] = {{1.0, 0.5}, {0.1, 1.0}, {10.0, 0.01}, {2.5, 0.3}, {0.7, 0.9}};
    std::vector<double> first;
    for (const auto &c : cases) {
        const double f = evaluate(c[0], c[1]);
        EXPECT_NEAR(f, closedFormFitness(c[0], c[1]), 1e-9) << c[0] << " " << c[1];
        EXPECT_EQ(StepNum, 10);   // t = 0.5, 1, ..., 5 (search mode stores no start row)
        first.push_back(f);
    }
    // The same genes again, in reverse order: bit-for-bit the same scores, and the model's own
    // values untouched by the evaluations.
    for (int i = 4; i >= 0; --i) EXPECT_EQ(evaluate(cases[i][0], cases[i][1]), first[i]);
    evaluate(3.0, 0.2);
    EXPECT_EQ(ParamT.val[1][1], 3.0);   // the last gene written
    set_param_default();
    EXPECT_EQ(ParamT.val[1][1], 1.0);
    EXPECT_EQ(Param.val[2][1], 0.5);
}

TEST_F(Bridge, LaterRangeOnTheSameValueWinsAndConstantPlayerIsRefused) {
    load(kModel + "PARAM;k1;1;1.0;;;S;;0.2;3\n");
    ASSERT_EQ(P_GaNum, 3);
    const double x[3] = {9.0, 0.5, 2.0};   // k1 = 9 by range 0, then 2 by range 2
    double f = 0;
    ASSERT_EQ(QvFitness(x, 3, 0, nullptr, &f), 0);
    EXPECT_NEAR(f, closedFormFitness(2.0, 0.5), 1e-9);
    EXPECT_EQ(CheckConstantPlayer(), 0);

    load("SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.01\nDELTA_M;0.5\n"
         "PARAM_NAME;k1\nPARAM_NAME;constantPlayer\nPARAM;k1;1;1\nPARAM;constantPlayer;1;1;;;S;;0.5;2\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(CheckConstantPlayer(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: constantPlayer cannot be set as subject to search.\n");
}

// ---- Islands: ranking, selection, migration, integration -----------------------------------------

// Islands are large records (room for the most individuals of the most variables): they are made
// on the heap, never on the stack, and come value-initialised.
void fillIsland(gaisland &island, const std::vector<double> &fitness) {
    island.population = static_cast<int>(fitness.size());
    for (size_t i = 0; i < fitness.size(); ++i) {
        island.residents[i].fitness = fitness[i];
        island.residents[i].gene_r[0] = static_cast<double>(i);   // identity of the individual
    }
    SortByFitness(&island);
}

std::unique_ptr<gaisland> makeIsland(const std::vector<double> &fitness) {
    auto island = std::make_unique<gaisland>();
    fillIsland(*island, fitness);
    return island;
}

std::vector<gaisland> makeIslands(const std::vector<std::vector<double>> &fitness) {
    std::vector<gaisland> islands(fitness.size());
    for (size_t k = 0; k < fitness.size(); ++k) fillIsland(islands[k], fitness[k]);
    return islands;
}

TEST(Ranking, SortsBestFirstWithFailedScoresLastAndKeepsTheFirstRecordOfATie) {
    const std::unique_ptr<gaisland> a_owned = makeIsland({0.2, 0.9, 0.5});
    gaisland &a = *a_owned;
    EXPECT_EQ((std::vector<int>{a.sortedIndex[0], a.sortedIndex[1], a.sortedIndex[2]}),
              (std::vector<int>{1, 2, 0}));
    const std::unique_ptr<gaisland> b_owned = makeIsland({NAN, -1e300, 3.0, 3.0, qv::kGaUnevaluated});
    gaisland &b = *b_owned;
    EXPECT_EQ((std::vector<int>{b.sortedIndex[0], b.sortedIndex[1], b.sortedIndex[2], b.sortedIndex[3],
                                b.sortedIndex[4]}),
              (std::vector<int>{2, 3, 1, 4, 0}));

    bestgene best{};
    best.gaGene.fitness = qv::kGaUnevaluated;
    RecordBestGene(0, &a, 1, &best);
    EXPECT_EQ(best.gaGene.fitness, 0.9);
    EXPECT_EQ(best.obtainedGeneration, 0);
    const std::unique_ptr<gaisland> same_owned = makeIsland({0.9, 0.1});
    gaisland &same = *same_owned;
    RecordBestGene(7, &same, 1, &best);   // equal: the earlier record stays
    EXPECT_EQ(best.obtainedGeneration, 0);
    const std::unique_ptr<gaisland> better_owned = makeIsland({0.1, 0.95});
    gaisland &better = *better_owned;
    RecordBestGene(8, &better, 1, &best);
    EXPECT_EQ(best.obtainedGeneration, 8);
    EXPECT_EQ(best.gaGene.gene_r[0], 1.0);
}

TEST(Selection, StrategiesDrawDistinctParentsAndRouletteFailsOnAFlatWheel) {
    SetRandSeed(2024);
    const std::unique_ptr<gaisland> island_owned = makeIsland({5, 4, 3, 2, 1, 0.5, 0.25, 0});
    gaisland &island = *island_owned;
    int parents[4];
    // Roulette never draws the worst (width 0), tournaments and random draws stay distinct.
    std::vector<int> hits(8, 0);
    for (int t = 0; t < 2000; ++t) {
        ASSERT_EQ(SelectRoulette(&island, 3, parents), 0);
        EXPECT_EQ(std::set<int>(parents, parents + 3).size(), 3u);
        for (int j = 0; j < 3; ++j) ++hits[parents[j]];
        ASSERT_EQ(SelectTournament(&island, 4, 3, parents), 0);
        EXPECT_EQ(std::set<int>(parents, parents + 4).size(), 4u);
        ASSERT_EQ(SelectRandom(&island, 4, parents), 0);
        EXPECT_EQ(std::set<int>(parents, parents + 4).size(), 4u);
    }
    EXPECT_EQ(hits[7], 0);
    EXPECT_GT(hits[0], hits[4]);   // larger fitness, larger slice

    // A tournament as large as the island ends even when the winner is nearly always taken.
    ASSERT_EQ(SelectTournament(&island, 4, 200, parents), 0);
    EXPECT_EQ(std::set<int>(parents, parents + 4).size(), 4u);

    const std::unique_ptr<gaisland> flat_owned = makeIsland({1, 1, 1, 1, 1});
    gaisland &flat = *flat_owned;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SelectRoulette(&flat, 2, parents), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Infinite roop in roulette.\n");
    ASSERT_EQ(SelectRoulette(&flat, 1, parents), 0);   // r = 0 hits the first probed slice
    EXPECT_EQ(parents[0], flat.sortedIndex[2]);
    // Two usable slices but three parents wanted passes the count yet cannot complete: bounded.
    const std::unique_ptr<gaisland> two_owned = makeIsland({3, 2, 0, 0, 0, 0});
    gaisland &two = *two_owned;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SelectRoulette(&two, 3, parents), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Infinite roop in roulette.\n");
}

struct MigrationCase {
    const char *name;
    ImmigrationSwitch scheme;
    int numIsland;
    int population;
    int numElite;
    double rate;
};

TEST(Migration, ElitesStayRingsAreOneCycleAndIndividualsAreOnlyMoved) {
    const MigrationCase cases[] = {
        {"swap", ImmigrationSwitch::RandomSwap, 4, 20, 2, 0.3},
        {"swap rate 0", ImmigrationSwitch::RandomSwap, 3, 10, 0, 0.0},
        {"ring of 2", ImmigrationSwitch::RandomRing, 2, 10, 1, 0.3},
        {"ring of 7", ImmigrationSwitch::RandomRing, 7, 12, 3, 0.5},
        {"ring, no emigrant", ImmigrationSwitch::RandomRing, 3, 10, 0, 0.05},
    };
    SetRandSeed(77);
    for (const MigrationCase &c : cases) {
        SCOPED_TRACE(c.name);
        gaparam param{};
        param.gaTypeParam.immigrationSwitch = c.scheme;
        param.gaTypeParam.numIsland = c.numIsland;
        param.gaTypeParam.islandPopulation = c.population;
        param.gaTypeParam.totalPopulation = c.numIsland * c.population;
        param.gaTypeParam.immigrationRate = c.rate;
        param.gaTypeParam.numImmigrants = static_cast<int>(c.rate * c.population);
        param.digenesisParam.numElite = c.numElite;
        std::vector<gaisland> islands(c.numIsland);
        for (int i = 0; i < c.numIsland; ++i) {
            std::vector<double> f;
            for (int k = 0; k < c.population; ++k) f.push_back(100.0 * i + k);
            fillIsland(islands[i], f);
            for (int k = 0; k < c.population; ++k) islands[i].residents[k].gene_r[0] = 100.0 * i + k;
        }
        ASSERT_EQ(MakeImmigrationBuffer(&param, islands.data()), 0);
        for (int round = 0; round < 20; ++round) {
            std::vector<std::multiset<double>> elites(c.numIsland);
            for (int i = 0; i < c.numIsland; ++i)
                for (int e = 0; e < c.numElite; ++e)
                    elites[i].insert(islands[i].residents[islands[i].sortedIndex[e]].gene_r[0]);
            ASSERT_EQ(Immigrate(&param, islands.data()), 0);
            for (int i = 0; i < c.numIsland; ++i) {   // the elites are still at home
                std::multiset<double> home;
                for (int k = 0; k < c.population; ++k) home.insert(islands[i].residents[k].gene_r[0]);
                for (double e : elites[i]) EXPECT_GE(home.count(e), elites[i].count(e));
            }
            if (c.scheme == ImmigrationSwitch::RandomRing) {
                const int *ring = RandomRingTable();
                std::set<int> seen;
                for (int at = 0, step = 0; step < c.numIsland; ++step, at = ring[at]) seen.insert(at);
                EXPECT_EQ(static_cast<int>(seen.size()), c.numIsland);   // one cycle through all
                for (int i = 0; i < c.numIsland; ++i) EXPECT_NE(ring[i], i);
            }
        }
        for (int i = 0; i < c.numIsland; ++i) {
            for (int k = 0; k + 1 < c.population; ++k)   // sorted after the migration
                EXPECT_GE(islands[i].residents[islands[i].sortedIndex[k]].fitness,
                          islands[i].residents[islands[i].sortedIndex[k + 1]].fitness);
            for (int k = 0; k < c.population; ++k)   // fitness travels with the gene
                EXPECT_EQ(islands[i].residents[k].fitness, islands[i].residents[k].gene_r[0]);
            if (c.rate == 0.0 || param.gaTypeParam.numImmigrants == 0) {
                for (int k = 0; k < c.population; ++k) EXPECT_EQ(islands[i].residents[k].fitness, 100.0 * i + k);
            }
        }
        FreeImmigrationBuffer(&param, islands.data());
    }
}

TEST(Migration, TooManyEmigrantsFailAndIntegrationKeepsEveryIslandsBest) {
    gaparam param{};
    param.gaTypeParam.immigrationSwitch = ImmigrationSwitch::RandomRing;
    param.gaTypeParam.numIsland = 2;
    param.gaTypeParam.islandPopulation = 5;
    param.gaTypeParam.numImmigrants = 4;
    param.digenesisParam.numElite = 2;
    std::vector<gaisland> islands = makeIslands({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    ASSERT_EQ(MakeImmigrationBuffer(&param, islands.data()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Immigrate(&param, islands.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Immigration rate too large.\n");
    FreeImmigrationBuffer(&param, islands.data());

    // Three islands of 4 merged: the three bests are in, the fourth is any of the individuals.
    gaparam merge{};
    merge.gaTypeParam.numIsland = 3;
    merge.gaTypeParam.islandPopulation = 4;
    std::vector<gaisland> three = makeIslands({{1, 2, 3, 4}, {10, 20, 30, 40}, {-5, -6, -7, -8}});
    SetRandSeed(5);
    ASSERT_EQ(IntegrateIslands(&merge, three.data()), 0);
    AjustParamsAfterIntegrate(&merge);
    EXPECT_EQ(merge.gaTypeParam.numIsland, 1);
    std::multiset<double> kept;
    for (int k = 0; k < 4; ++k) kept.insert(three[0].residents[k].fitness);
    for (double best : {4.0, 40.0, -5.0}) EXPECT_EQ(kept.count(best) >= 1, true) << best;
    EXPECT_EQ(three[0].residents[three[0].sortedIndex[0]].fitness, 40.0);
    // More islands than places: only the bests of the first islands.
    merge.gaTypeParam.numIsland = 3;
    merge.gaTypeParam.islandPopulation = 2;
    std::vector<gaisland> small = makeIslands({{1, 2}, {3, 4}, {9, 9}});
    IntegrateIslands(&merge, small.data());
    EXPECT_EQ(small[0].residents[small[0].sortedIndex[0]].fitness, 4.0);
    EXPECT_EQ(small[0].residents[small[0].sortedIndex[1]].fitness, 2.0);
}

}  // namespace
