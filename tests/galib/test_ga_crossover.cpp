// Crossover operators and the vector/matrix routines behind UNDX-m and SPX. The real-coded
// operators are checked against the closed forms of their distributions over a few thousand
// children, n-point crossover and the dispatcher against rules restated independently here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_alge.h"
#include "quorvant/searchlib/mt_rand.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

using Rows = std::vector<std::vector<double>>;

// Row pointers of a vector-of-rows matrix, as the matrix routines take it.
std::vector<double *> ptrs(Rows &m) {
    std::vector<double *> p;
    for (auto &r : m) p.push_back(r.data());
    return p;
}

constexpr int kIndex[] = {0, 1, 2, 3, 4, 5, 6, 7};   // parent indices

void reseed(unsigned long seed) {
    ResetRandomStream();
    SetRandSeed(seed);
}

gagene blankGene() {
    gagene g;
    std::memset(&g, 0, sizeof g);
    return g;
}

std::vector<gagene> realParents(const Rows &values) {
    std::vector<gagene> out(values.size(), blankGene());
    for (size_t i = 0; i < values.size(); ++i) std::copy(values[i].begin(), values[i].end(), out[i].gene_r);
    return out;
}

double dot(const std::vector<double> &a, const std::vector<double> &b) {
    double s = 0;
    for (size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
    return s;
}

// An orthonormal basis that is not aligned with the coordinate axes: the rows of the
// reflection I - 2 v v^T / (v.v) with v = (1, 2, ..., n).
Rows skewBasis(int n) {
    Rows h(n, std::vector<double>(n));
    const double vv = n * (n + 1) * (2 * n + 1) / 6.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) h[i][j] = (i == j ? 1.0 : 0.0) - 2.0 * (i + 1) * (j + 1) / vv;
    return h;
}

TEST(GaAlgebra, MatrixRoutines) {
    // Elimination gives the rank; its first `rank` rows, orthonormalised, must reproduce every
    // input row. Gram-Schmidt rows are orthonormal, q_i is orthogonal to the inputs a_j (j < i)
    // and points the way a_i does, and working in place gives the same basis.
    struct Case {
        const char *what;
        Rows a;
        int rank;
    };
    const Case cases[] = {
        {"full rank 3x3", {{2, 1, 0}, {1, 3, 1}, {0, 1, 4}}, 3},
        {"third row = first + 2 second", {{1, 2, 3}, {0, 1, -1}, {1, 4, 1}}, 2},
        {"zero matrix", {{0, 0, 0}, {0, 0, 0}}, 0},
        {"proportional rows", {{1, -2, 0.5, 3}, {-2, 4, -1, -6}}, 1},
        {"more rows than columns", {{1, 0, 2}, {0, 1, 1}, {1, 1, 0}, {3, 2, 1}}, 3},
        {"largest pivot in a later row", {{1e-3, 0, 0}, {0, 5, 1}, {2, 0, 7}}, 3},
        {"zero row first", {{0, 0, 0}, {0, 3, 0}, {0, 6, 0}}, 1},
        {"one element", {{-4}}, 1},
        {"wide, full rank", {{0.3, -1.2, 0.8, 1.9, -0.4, 1.1}, {1.7, 0.2, -1.5, 0.6, 0.9, -0.3},
                             {-0.8, 1.4, 0.1, -1.1, 1.6, 0.5}, {0.9, 0.7, 1.3, -0.2, -1.8, 1.2}}, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Rows a = c.a;
        const int rows = static_cast<int>(a.size()), cols = static_cast<int>(a[0].size());
        Rows out(rows, std::vector<double>(cols, 99.0));
        ASSERT_EQ(ReductMatrix(ptrs(a).data(), rows, cols, ptrs(out).data()), c.rank);
        EXPECT_EQ(a, c.a) << "the input is left alone";

        Rows q(c.rank, std::vector<double>(cols));
        Rows same(out.begin(), out.begin() + c.rank);
        auto sp = ptrs(same);
        EXPECT_EQ(GrammSchmidtOrthogonalize(ptrs(out).data(), c.rank, cols, ptrs(q).data()), 0);
        EXPECT_EQ(GrammSchmidtOrthogonalize(sp.data(), c.rank, cols, sp.data()), 0);
        EXPECT_EQ(same, q) << "in place";
        for (int i = 0; i < c.rank; ++i) {
            for (int j = 0; j < c.rank; ++j) EXPECT_NEAR(dot(q[i], q[j]), i == j ? 1.0 : 0.0, 1e-13);
            for (int j = 0; j < i; ++j) EXPECT_NEAR(dot(q[i], out[j]), 0.0, 1e-12);
            EXPECT_GT(dot(q[i], out[i]), 0.0);
        }
        for (const auto &row : c.a) {
            std::vector<double> rest = row;
            for (const auto &qi : q)
                for (int k = 0; k < cols; ++k) rest[k] -= dot(row, qi) * qi[k];
            EXPECT_LT(std::sqrt(dot(rest, rest)), 1e-12 * (1 + std::sqrt(dot(row, row))));
        }
    }

    Rows a{{1, 2, 3}, {4, 5, 6}};
    Rows b{{1, 0}, {0, 1}, {2, -1}};
    Rows c(2, std::vector<double>(2)), t(3, std::vector<double>(2));
    auto ap = ptrs(a);
    ASSERT_EQ(ProductMatrix(ap.data(), 2, 3, ptrs(b).data(), 3, 2, ptrs(c).data()), 0);
    EXPECT_EQ(c, (Rows{{7, -1}, {16, -1}}));
    ASSERT_EQ(TransposedMatrix(ap.data(), 2, 3, ptrs(t).data()), 0);
    EXPECT_EQ(t, (Rows{{1, 4}, {2, 5}, {3, 6}}));
    double g[3];
    ASSERT_EQ(CalculateCenterOfGravity(ap.data(), 2, 3, g), 0);
    EXPECT_EQ(std::vector<double>(g, g + 3), (std::vector<double>{2.5, 3.5, 4.5}));
    const double v[] = {3, 4, 12};
    EXPECT_EQ(VectorNorm(v, 3), 13.0);
    EXPECT_EQ(VectorInnerProduct(v, v, 2), 25.0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ProductMatrix(ap.data(), 2, 3, ap.data(), 2, 3, ptrs(c).data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Cannot calculate product of matrices.\n");
}

TEST(GaCrossover, BlxDrawsFromTheWidenedInterval) {
    // One case per variable (column): with alpha = 0.5 the interval of the two parents grows by
    // half its length on each side.
    const Rows parents{{1, 3, 2, -1, 0.1}, {3, 1, 2, -1.5, 0.1}};
    const std::vector<double> lo{0, 0, 2, -1.75, 0.1}, hi{4, 4, 2, -0.75, 0.1};
    const int n = static_cast<int>(lo.size());
    const auto residents = realParents(parents);
    const crossoverparam cp{CrossoverType::BLX, 2, 0, 0.5, 0.0};
    std::vector<double> lowest(n, 1e300), highest(n, -1e300);
    reseed(11);
    for (int draw = 0; draw < 5000; ++draw) {
        gagene child = blankGene();
        ASSERT_EQ(blx(&cp, residents.data(), n, kIndex, &child), 0);
        EXPECT_EQ(child.fitness, qv::kGaUnevaluated);
        for (int k = 0; k < n; ++k) {
            lowest[k] = std::min(lowest[k], child.gene_r[k]);
            highest[k] = std::max(highest[k], child.gene_r[k]);
        }
    }
    for (int k = 0; k < n; ++k) {
        const double reach = 0.002 * (hi[k] - lo[k]);   // the whole interval is reached
        EXPECT_GE(lowest[k], lo[k]) << k;
        EXPECT_LE(highest[k], hi[k]) << k;
        EXPECT_LE(lowest[k], lo[k] + reach) << k;
        EXPECT_GE(highest[k], hi[k] - reach) << k;
    }
}

TEST(GaCrossover, UndxChildrenFollowTheirNormalDistribution) {
    // In a skew basis around `centre`, the offsets d_i of the first m + 1 parents use the first
    // `hull` axes and sum to zero; the last parent adds a part along those axes, which must not
    // matter, and a part of length `distance` along the others. Along primary axis j the child's
    // variance is sigma_xi^2 sum_{i<m} d_ij^2; along every other axis (distance sigma_eta)^2
    // when m < n, and 0 when m = n. (hull < m only where the degeneracy is exact: the rank takes
    // any rounding residue for a direction.)
    struct Case {
        CrossoverType type;
        int n, m, hull;
        double alpha, beta, distance;
    };
    const Case cases[] = {
        {CrossoverType::UNDX, 3, 1, 1, 1.0, 0.35, 3.0},
        {CrossoverType::UNDXm, 4, 2, 2, 1.0, 0.35, 2.0},
        {CrossoverType::UNDXm, 6, 3, 3, 0.7, 0.5, 1.5},
        {CrossoverType::UNDXm, 2, 1, 1, 1.0, 0.35, 4.0},
        {CrossoverType::UNDX, 3, 1, 0, 1.0, 0.35, 0.0},    // identical parents: child = parent
        {CrossoverType::UNDXm, 2, 2, 1, 1.0, 0.35, 5.0},   // m = n, collinear: stays on the line
        {CrossoverType::UNDXm, 3, 3, 2, 1.0, 0.35, 9.0},   // m = n, coplanar: stays in the plane
    };
    const int draws = 10000;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " m=" << c.m << " hull=" << c.hull);
        const Rows axis = skewBasis(c.n);
        std::mt19937 gen(c.n * 10 + c.m);
        std::uniform_real_distribution<double> u(-1, 1);
        std::vector<double> centre(c.n);
        for (auto &v : centre) v = 3 * u(gen);
        Rows local(c.m + 2, std::vector<double>(c.n, 0.0));
        for (int j = 0; j < c.hull; ++j) {
            double mean = 0;
            for (int i = 0; i <= c.m; ++i) mean += (local[i][j] = u(gen)) / (c.m + 1);
            for (int i = 0; i <= c.m; ++i) local[i][j] -= mean;
            local[c.m + 1][j] = 5 * u(gen);
        }
        for (int j = c.hull; j < c.n; ++j) local[c.m + 1][j] = c.distance / std::sqrt(c.n - c.hull);
        Rows values(c.m + 2, centre);
        for (int i = 0; i < c.m + 2; ++i)
            for (int j = 0; j < c.n; ++j)
                for (int k = 0; k < c.n; ++k) values[i][k] += local[i][j] * axis[j][k];
        const auto residents = realParents(values);

        const bool undx = c.type == CrossoverType::UNDX;
        const double sigmaXi = undx ? c.alpha : c.alpha / std::sqrt(c.m);
        const double sigmaEta = undx ? c.beta / std::sqrt(c.n)
                                     : c.beta * std::sqrt(3.0 * (c.m + 1) / (2.0 * (c.n - c.m) * (c.m + 2)));
        std::vector<double> expected(c.n, 0.0);
        for (int j = 0; j < c.n; ++j) {
            for (int i = 0; i < c.m && j < c.hull; ++i) expected[j] += sigmaXi * sigmaXi * local[i][j] * local[i][j];
            if (j >= c.hull && c.m < c.n) expected[j] = c.distance * c.distance * sigmaEta * sigmaEta;
        }

        const crossoverparam cp{c.type, c.m + 2, undx ? 0 : c.m, c.alpha, c.beta};
        std::vector<double> sum(c.n, 0.0), sumSq(c.n, 0.0);
        reseed(3);
        for (int draw = 0; draw < draws; ++draw) {
            gagene child = blankGene();
            child.fitness = 7.0;
            ASSERT_EQ(undxm(&cp, residents.data(), c.n, kIndex, &child), 0);
            ASSERT_EQ(child.fitness, 7.0) << "UNDX leaves the fitness alone";
            std::vector<double> off(c.n);
            for (int k = 0; k < c.n; ++k) off[k] = child.gene_r[k] - centre[k];
            for (int j = 0; j < c.n; ++j) {
                const double p = dot(off, axis[j]);
                sum[j] += p;
                sumSq[j] += p * p;
            }
        }
        for (int j = 0; j < c.n; ++j) {
            const double mean = sum[j] / draws, meanSq = sumSq[j] / draws;
            if (expected[j] == 0.0) {   // no spread: every child within 1e-12 of the hull
                EXPECT_LT(meanSq, 1e-28) << "axis " << j;
                continue;
            }
            EXPECT_NEAR(mean, 0.0, 5 * std::sqrt(expected[j] / draws)) << "axis " << j;
            EXPECT_NEAR(meanSq - mean * mean, expected[j], 0.05 * expected[j]) << "axis " << j;
        }

        // m normal deviates for the primary part, and n for the orthogonal step when m < n.
        reseed(5);
        gagene child = blankGene();
        ASSERT_EQ(undxm(&cp, residents.data(), c.n, kIndex, &child), 0);
        const unsigned long next = genrand_int32();
        reseed(5);
        for (int i = 0; i < c.m + (c.m < c.n ? c.n : 0); ++i) GenNormalRand(0.0, 1.0);
        EXPECT_EQ(next, genrand_int32()) << "number of normal deviates";
    }
}

TEST(GaCrossover, SpxChildrenFillTheExpandedSimplex) {
    // The parents are placed so that their simplex expanded by epsilon about the centre is
    // y_0 = b, y_i = b + s_i e_i: a point's weights in it are l_i = (p_i - b_i) / s_i and
    // l_0 = 1 - sum l_i. The child is P_K-1 with P_0 = y_0 and
    // P_k = (1 - r_k) y_k + r_k P_k-1, r_k = u^(1/(k+1)), so E[r_k] = (k+1)/(k+2) and the mean
    // weights are 2/(K+1) for y_0 and 1/(K+1) for every other vertex (K parents).
    struct Case {
        std::vector<double> b, s;
    };
    const Case cases[] = {{{0.5, -1}, {2, 3}}, {{1, 2, -3}, {1.5, 0.5, 4}}};
    const int draws = 10000;
    for (const auto &c : cases) {
        const int n = static_cast<int>(c.b.size()), count = n + 1;
        const double epsilon = std::sqrt(n + 2.0);
        std::vector<double> centre(c.b);
        for (int k = 0; k < n; ++k) centre[k] += c.s[k] / count;
        Rows x(count, c.b);   // y_i, then shrunk by epsilon about the centre
        for (int i = 1; i < count; ++i) x[i][i - 1] += c.s[i - 1];
        for (auto &row : x)
            for (int k = 0; k < n; ++k) row[k] = centre[k] + (row[k] - centre[k]) / epsilon;
        auto weights = [&c, n](const double *p) {
            std::vector<double> l(n + 1, 1.0);
            for (int k = 0; k < n; ++k) l[0] -= l[k + 1] = (p[k] - c.b[k]) / c.s[k];
            return l;
        };

        const auto residents = realParents(x);
        const crossoverparam cp{CrossoverType::SPX, count, 0, epsilon, 0.0};
        std::vector<double> meanWeight(count, 0.0);
        reseed(17);
        for (int draw = 0; draw < draws; ++draw) {
            gagene child = blankGene();
            ASSERT_EQ(spx(&cp, residents.data(), n, kIndex, &child), 0);
            EXPECT_EQ(child.fitness, qv::kGaUnevaluated);
            const auto l = weights(child.gene_r);
            for (int i = 0; i < count; ++i) {
                ASSERT_GE(l[i], -1e-12) << "child outside the expanded simplex";
                meanWeight[i] += l[i] / draws;
            }
        }
        for (int i = 0; i < count; ++i)
            EXPECT_NEAR(meanWeight[i], (i == 0 ? 2.0 : 1.0) / (count + 1), 0.01) << "n=" << n << " i=" << i;
    }
}

TEST(GaCrossover, NPointsChildrenAlternateSegments) {
    // Position p comes from the other parent when an odd number of the cut points (each drawn
    // from [1, L-1]) lie at or below p; fitness and the bits beyond the gene come with the own
    // parent. Short strings with several cut points produce repeated cut points.
    struct Case {
        int length, cuts;
    };
    const Case cases[] = {{6, 1}, {3, 2}, {5, 4}, {40, 3}, {40, 6}, {400, 7}, {400, 399}};
    std::mt19937 gen(23);
    for (const auto &c : cases) {
        for (int run = 0; run < 10; ++run) {
            std::vector<gagene> residents(2, blankGene());
            for (auto &g : residents)
                for (char &bit : g.gene_b) bit = static_cast<char>(gen() & 1);
            residents[0].fitness = 1.5;
            residents[1].fitness = -2.5;
            reseed(1000 + run);
            std::vector<int> cut(c.cuts);
            for (auto &x : cut) x = GenIntRand(1, c.length);

            const crossoverparam cp{CrossoverType::NPoints, 2, c.cuts, 0.0, 0.0};
            gagene children[2];
            std::memset(children, 7, sizeof children);
            reseed(1000 + run);
            ASSERT_EQ(npoints_crossover(&cp, residents.data(), c.length, kIndex, children), 0);
            for (int own = 0; own < 2; ++own) {
                const gagene &mine = residents[own], &other = residents[1 - own];
                EXPECT_EQ(children[own].fitness, mine.fitness);
                for (int p = 0; p < qv::kGaMaxBits; ++p) {
                    const auto below = std::count_if(cut.begin(), cut.end(), [p](int x) { return x <= p; });
                    const bool swapped = p < c.length && below % 2 == 1;
                    ASSERT_EQ(children[own].gene_b[p], swapped ? other.gene_b[p] : mine.gene_b[p])
                        << "L=" << c.length << " cuts=" << c.cuts << " child " << own << " p=" << p;
                }
            }
        }
    }
}

TEST(GaCrossover, DispatcherKeepsChildrenInTheRegion) {
    auto param = std::make_unique<gaparam>();
    std::memset(param.get(), 0, sizeof *param);
    param->gaEncodeParam = {EncodeType::Real, 2, 1, 2};
    param->crossoverParam = {CrossoverType::BLX, 2, 0, 0.5, 0.0};
    variableregion &region = param->variableRegion;
    region = {2, {-1, 0}, {1, 10}, {}};

    // Bounds belong to the region; a value that is not a number wins over one outside.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Where {
        double v0, v1;
        int expected;
    };
    const Where where[] = {{0, 5, 0},   {-1, 0, 0},  {1, 10, 0},  {-1.0000001, 5, 1}, {0, 10.0000001, 1},
                           {nan, 5, 2}, {0, nan, 2}, {5, nan, 2}, {inf, 5, 1},        {0, -inf, 1}};
    for (const auto &c : where) {
        gagene g = blankGene();
        g.gene_r[0] = c.v0;
        g.gene_r[1] = c.v1;
        EXPECT_EQ(check_child_region(&region, 2, &g), c.expected) << c.v0 << " " << c.v1;
    }
    const auto broken = realParents({{0.5, nan}, {0.6, 0.4}});
    gagene child[2];
    testing::internal::CaptureStdout();
    EXPECT_EQ(Crossover(param.get(), broken.data(), kIndex, child), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: Crossover made a child whose value is not a number.\n");

    // BLX children of (0, 5) and (1, 5) spread over [-0.5, 1.5] x {5}. A narrow region for
    // variable 0 keeps 5 % of them: the same parents are crossed again until a child fits. A
    // region they never reach ends after 1000 tries with the last child clipped onto it, and a
    // warning the first time only.
    const auto residents = realParents({{0.0, 5.0}, {1.0, 5.0}});
    const char *warning =
        " ## Warning: Crossover made no child inside the region in 1000 tries; the child was clipped into the "
        "region (reported once).\n";
    struct Retry {
        double lo0, hi0;
        unsigned long seed;
        const char *log;
    };
    const Retry retries[] = {{0.9, 1.0, 1, ""}, {0.9, 1.0, 2, ""}, {0.9, 1.0, 3, ""},
                             {0.9, 1.0, 4, ""}, {10, 20, 9, warning}, {-20, -10, 9, ""}};
    int retried = 0;
    for (const auto &c : retries) {
        SCOPED_TRACE(testing::Message() << "region [" << c.lo0 << ", " << c.hi0 << "] seed " << c.seed);
        region.minArray[0] = c.lo0;
        region.maxArray[0] = c.hi0;
        reseed(c.seed);
        testing::internal::CaptureStdout();
        ASSERT_EQ(Crossover(param.get(), residents.data(), kIndex, child), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.log);
        const unsigned long next = genrand_int32();

        reseed(c.seed);
        gagene byHand = blankGene();
        int calls = 0;
        do {
            blx(&param->crossoverParam, residents.data(), 2, kIndex, &byHand);
        } while (++calls < qv::kMaxCrossoverTries && (byHand.gene_r[0] < c.lo0 || byHand.gene_r[0] > c.hi0));
        EXPECT_EQ(child[0].gene_r[0], std::clamp(byHand.gene_r[0], c.lo0, c.hi0));
        EXPECT_EQ(child[0].gene_r[1], 5.0);
        EXPECT_EQ(next, genrand_int32()) << "as many tries as by hand";
        if (calls > 1) ++retried;
    }
    EXPECT_GT(retried, 4);

    for (CrossoverType type : {CrossoverType::None, CrossoverType::Unset}) {
        param->crossoverParam.crossoverType = type;
        testing::internal::CaptureStdout();
        EXPECT_EQ(Crossover(param.get(), residents.data(), kIndex, child), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## System Error: In Crossover.\n");
    }
}

}  // namespace
