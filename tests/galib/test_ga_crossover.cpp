// Crossover operators and the vector/matrix routines behind UNDX-m and SPX. The statistical
// checks draw many children and compare sample moments with the distributions' closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "quorvant/ga_operators.h"
#include "quorvant/ga_random.h"

namespace {

using Rows = std::vector<std::vector<double>>;

// Row-pointer view of a vector-of-rows matrix, as the matrix routines take it.
struct Ptrs {
    std::vector<double *> p;
    explicit Ptrs(Rows &m) {
        for (auto &r : m) p.push_back(r.data());
    }
    double **get() { return p.data(); }
};

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
    std::vector<gagene> out;
    for (const auto &v : values) {
        gagene g = blankGene();
        for (size_t k = 0; k < v.size(); ++k) g.gene_r[k] = v[k];
        out.push_back(g);
    }
    return out;
}

std::vector<int> firstIndices(int count) {
    std::vector<int> idx(count);
    for (int i = 0; i < count; ++i) idx[i] = i;
    return idx;
}

// Solves A x = b by Gaussian elimination with partial pivoting (small dense systems only).
std::vector<double> solve(Rows a, std::vector<double> b) {
    const size_t n = b.size();
    for (size_t k = 0; k < n; ++k) {
        size_t piv = k;
        for (size_t i = k + 1; i < n; ++i)
            if (std::fabs(a[i][k]) > std::fabs(a[piv][k])) piv = i;
        std::swap(a[k], a[piv]);
        std::swap(b[k], b[piv]);
        for (size_t i = k + 1; i < n; ++i) {
            const double f = a[i][k] / a[k][k];
            for (size_t j = k; j < n; ++j) a[i][j] -= f * a[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<double> x(n);
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t j = i + 1; j < n; ++j) s -= a[i][j] * x[j];
        x[i] = s / a[i][i];
    }
    return x;
}

double dot(const std::vector<double> &a, const std::vector<double> &b) {
    double s = 0;
    for (size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
    return s;
}

// Columns of a fixed rotation (a product of plane rotations), so that test geometry is not
// aligned with the coordinate axes.
Rows rotationColumns(int n) {
    Rows r(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i) r[i][i] = 1.0;
    for (int p = 0; p + 1 < n; ++p) {
        const double c = std::cos(0.4 + 0.3 * p), s = std::sin(0.4 + 0.3 * p);
        for (int i = 0; i < n; ++i) {
            const double a = r[i][p], b = r[i][p + 1];
            r[i][p] = c * a - s * b;
            r[i][p + 1] = s * a + c * b;
        }
    }
    Rows cols(n, std::vector<double>(n));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) cols[j][i] = r[i][j];
    return cols;
}

TEST(GaAlgebra, ReductMatrixRankAndRowSpace) {
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
    };
    for (const auto &c : cases) {
        Rows a = c.a;
        const int rows = static_cast<int>(a.size()), cols = static_cast<int>(a[0].size());
        Rows out(rows, std::vector<double>(cols, 99.0));
        Ptrs ap(a), op(out);
        EXPECT_EQ(ReductMatrix(ap.get(), rows, cols, op.get()), c.rank) << c.what;
        EXPECT_EQ(a, c.a) << c.what << ": the input is left alone";
        if (c.rank == 0) continue;

        // The first `rank` rows, orthonormalised, must reproduce every input row.
        Rows q(c.rank, std::vector<double>(cols));
        Ptrs qp(q);
        EXPECT_EQ(GrammSchmidtOrthogonalize(op.get(), c.rank, cols, qp.get()), 0);
        for (const auto &row : c.a) {
            std::vector<double> rest = row;
            for (const auto &qi : q) {
                const double coef = dot(row, qi);
                for (int k = 0; k < cols; ++k) rest[k] -= coef * qi[k];
            }
            EXPECT_LT(std::sqrt(dot(rest, rest)), 1e-12 * (1 + std::sqrt(dot(row, row)))) << c.what;
        }
    }
}

TEST(GaAlgebra, GrammSchmidtIsOrthonormalAndTriangular) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-2, 2);
    const int rows = 4, n = 6;
    Rows a(rows, std::vector<double>(n));
    for (auto &r : a)
        for (auto &v : r) v = u(gen);
    Rows q(rows, std::vector<double>(n));
    Ptrs ap(a), qp(q);
    ASSERT_EQ(GrammSchmidtOrthogonalize(ap.get(), rows, n, qp.get()), 0);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < rows; ++j) EXPECT_NEAR(dot(q[i], q[j]), i == j ? 1.0 : 0.0, 1e-13);
        for (int j = 0; j < i; ++j) EXPECT_NEAR(dot(q[i], a[j]), 0.0, 1e-12) << "q_i is orthogonal to a_j, j < i";
        EXPECT_GT(dot(q[i], a[i]), 0.0) << "same orientation as a_i";
    }
    // In place (q on the storage of a) gives the same basis.
    Ptrs same(a);
    ASSERT_EQ(GrammSchmidtOrthogonalize(same.get(), rows, n, same.get()), 0);
    for (int i = 0; i < rows; ++i)
        for (int k = 0; k < n; ++k) EXPECT_DOUBLE_EQ(a[i][k], q[i][k]);
}

TEST(GaAlgebra, ProductsTransposesAndCentres) {
    Rows a{{1, 2, 3}, {4, 5, 6}};
    Rows b{{1, 0}, {0, 1}, {2, -1}};
    Rows c(2, std::vector<double>(2)), t(3, std::vector<double>(2));
    Ptrs ap(a), bp(b), cp(c), tp(t);
    ASSERT_EQ(ProductMatrix(ap.get(), 2, 3, bp.get(), 3, 2, cp.get()), 0);
    EXPECT_EQ(c, (Rows{{7, -1}, {16, -1}}));
    ASSERT_EQ(TransposedMatrix(ap.get(), 2, 3, tp.get()), 0);
    EXPECT_EQ(t, (Rows{{1, 4}, {2, 5}, {3, 6}}));
    double g[3];
    ASSERT_EQ(CalculateCenterOfGravity(ap.get(), 2, 3, g), 0);
    EXPECT_EQ(std::vector<double>(g, g + 3), (std::vector<double>{2.5, 3.5, 4.5}));
    const double v[] = {3, 4, 12};
    EXPECT_EQ(VectorNorm(v, 3), 13.0);
    EXPECT_EQ(VectorInnerProduct(v, v, 2), 25.0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(ProductMatrix(ap.get(), 2, 3, ap.get(), 2, 3, cp.get()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Cannot calculate product of matrices.\n");
}

TEST(GaCrossover, BlxDrawsFromTheWidenedInterval) {
    struct Case {
        double a, b, lo, hi;
    };
    // alpha = 0.5 for every variable: the interval grows by half its length on each side.
    const Case cases[] = {{1, 3, 0, 4}, {3, 1, 0, 4}, {2, 2, 2, 2}, {-1, -1.5, -1.75, -0.75}, {0.1, 0.1, 0.1, 0.1}};
    const int n = static_cast<int>(std::size(cases));
    Rows values(2, std::vector<double>(n));
    for (int k = 0; k < n; ++k) {
        values[0][k] = cases[k].a;
        values[1][k] = cases[k].b;
    }
    const auto residents = realParents(values);
    crossoverparam cp{CrossoverType::BLX, 2, 0, 0.5, 0.0};
    const int parents[] = {0, 1};
    std::vector<double> lowest(n, 1e300), highest(n, -1e300);
    reseed(11);
    for (int draw = 0; draw < 20000; ++draw) {
        gagene child = blankGene();
        ASSERT_EQ(blx(&cp, residents.data(), n, parents, &child), 0);
        EXPECT_EQ(child.fitness, qv::kGaUnevaluated);
        for (int k = 0; k < n; ++k) {
            lowest[k] = std::min(lowest[k], child.gene_r[k]);
            highest[k] = std::max(highest[k], child.gene_r[k]);
        }
    }
    for (int k = 0; k < n; ++k) {
        const double width = cases[k].hi - cases[k].lo;
        EXPECT_GE(lowest[k], cases[k].lo) << k;
        EXPECT_LE(highest[k], cases[k].hi) << k;
        EXPECT_LE(lowest[k], cases[k].lo + 0.001 * width) << k << ": the whole interval is reached";
        EXPECT_GE(highest[k], cases[k].hi - 0.001 * width) << k;
    }
}

TEST(GaCrossover, UndxChildrenFollowTheirNormalDistribution) {
    struct Case {
        CrossoverType type;
        int n, m;
        double alpha, beta, distance;   // distance of the last parent from the primary space
    };
    const Case cases[] = {
        {CrossoverType::UNDX, 3, 1, 1.0, 0.35, 3.0},
        {CrossoverType::UNDXm, 4, 2, 1.0, 0.35, 2.0},
        {CrossoverType::UNDXm, 6, 3, 0.7, 0.5, 1.5},
        {CrossoverType::UNDXm, 2, 1, 1.0, 0.35, 4.0},
    };
    const int draws = 40000;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " m=" << c.m);
        const Rows axis = rotationColumns(c.n);
        std::mt19937 gen(c.n * 10 + c.m);
        std::uniform_real_distribution<double> u(-1, 1);

        // Offsets of the first m + 1 parents lie in the first m rotated axes and sum to zero,
        // so their centre is `centre`; the last parent has a part of length `distance` along
        // the remaining axes and a primary part that must not matter.
        std::vector<double> centre(c.n);
        for (auto &v : centre) v = 3 * u(gen);
        Rows local(c.m + 2, std::vector<double>(c.n, 0.0));
        for (int i = 0; i <= c.m; ++i)
            for (int j = 0; j < c.m; ++j) local[i][j] = u(gen);
        for (int j = 0; j < c.m; ++j) {
            double mean = 0;
            for (int i = 0; i <= c.m; ++i) mean += local[i][j] / (c.m + 1);
            for (int i = 0; i <= c.m; ++i) local[i][j] -= mean;
        }
        for (int j = 0; j < c.m; ++j) local[c.m + 1][j] = 5 * u(gen);
        std::vector<double> orth(c.n, 0.0);
        for (int j = c.m; j < c.n; ++j) orth[j] = u(gen);
        const double scale = c.distance / std::sqrt(dot(orth, orth));
        for (int j = c.m; j < c.n; ++j) local[c.m + 1][j] = orth[j] * scale;

        Rows values(c.m + 2, centre);
        for (int i = 0; i < c.m + 2; ++i)
            for (int j = 0; j < c.n; ++j)
                for (int k = 0; k < c.n; ++k) values[i][k] += local[i][j] * axis[j][k];
        const auto residents = realParents(values);
        const auto parents = firstIndices(c.m + 2);

        double sigmaXi, sigmaEta;
        if (c.type == CrossoverType::UNDX) {
            sigmaXi = c.alpha;
            sigmaEta = c.beta / std::sqrt(c.n);
        } else {
            sigmaXi = c.alpha / std::sqrt(c.m);
            sigmaEta = c.beta * std::sqrt(3.0 * (c.m + 1) / (2.0 * (c.n - c.m) * (c.m + 2)));
        }
        // Variance along rotated axis j: primary axes from the first m offsets only, the
        // complement from the scaled orthogonal step.
        std::vector<double> expected(c.n);
        for (int j = 0; j < c.n; ++j) {
            if (j < c.m) {
                double s = 0;
                for (int i = 0; i < c.m; ++i) s += local[i][j] * local[i][j];
                expected[j] = sigmaXi * sigmaXi * s;
            } else {
                expected[j] = c.distance * c.distance * sigmaEta * sigmaEta;
            }
        }

        crossoverparam cp{c.type, c.m + 2, c.type == CrossoverType::UNDX ? 0 : c.m, c.alpha, c.beta};
        std::vector<double> sum(c.n, 0.0), sumSq(c.n, 0.0);
        reseed(3);
        for (int draw = 0; draw < draws; ++draw) {
            gagene child = blankGene();
            child.fitness = 7.0;
            ASSERT_EQ(undxm(&cp, residents.data(), c.n, parents.data(), &child), 0);
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
            const double mean = sum[j] / draws;
            const double var = sumSq[j] / draws - mean * mean;
            EXPECT_NEAR(mean, 0.0, 5 * std::sqrt(expected[j] / draws)) << "axis " << j;
            EXPECT_NEAR(var, expected[j], 0.05 * expected[j]) << "axis " << j;
        }
    }
}

TEST(GaCrossover, UndxDegenerateParents) {
    // Three identical parents: no primary direction, no distance, the child is the parent.
    for (const Rows::value_type &p : Rows{{1.5, -2.0, 4.0}, {0.1, 0.2, 0.3}}) {
        const auto residents = realParents({p, p, p});
        crossoverparam cp{CrossoverType::UNDX, 3, 1, 1.0, 0.35};
        const int parents[] = {0, 1, 2};
        gagene child = blankGene();
        reseed(5);
        ASSERT_EQ(undxm(&cp, residents.data(), 3, parents, &child), 0);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(child.gene_r[k], p[k], 1e-15) << k;
    }

    // m = n: the child stays in the affine hull of the first m + 1 parents, here chosen
    // degenerate (collinear in 2-D, coplanar in 3-D) so that the hull is a proper subspace, and
    // no orthogonal step is drawn (m normal deviates only).
    struct Case {
        Rows parents;              // m + 2 = n + 2 parents, the last one off the hull
        std::vector<double> normal;   // normal of the hull
    };
    const Case cases[] = {
        {{{0, 1}, {2, 2}, {-4, -1}, {5, -7}}, {1, -2}},
        {{{1, 0, 0}, {0, 1, 0}, {2, -1, 0}, {0.5, 3, 0}, {1, 1, 9}}, {0, 0, 1}},
    };
    for (const auto &c : cases) {
        const int n = static_cast<int>(c.normal.size());
        const auto residents = realParents(c.parents);
        const auto parents = firstIndices(n + 2);
        crossoverparam cp{CrossoverType::UNDXm, n + 2, n, 1.0, 0.35};
        for (int draw = 0; draw < 200; ++draw) {
            reseed(100 + draw);
            gagene child = blankGene();
            ASSERT_EQ(undxm(&cp, residents.data(), n, parents.data(), &child), 0);
            std::vector<double> off(n);
            for (int k = 0; k < n; ++k) off[k] = child.gene_r[k] - c.parents[0][k];
            EXPECT_NEAR(dot(off, c.normal), 0.0, 1e-12) << "n=" << n;
            const unsigned long next = genrand_int32();

            reseed(100 + draw);
            for (int i = 0; i < n; ++i) GenNormalRand(0.0, 1.0 / n);
            EXPECT_EQ(next, genrand_int32()) << "n=" << n << ": exactly m normal deviates drawn";
        }
    }
}

TEST(GaCrossover, SpxChildrenFillTheExpandedSimplex) {
    const Rows cases[] = {
        {{0, 0}, {1, 0}, {0.2, 2}},
        {{1, 1, 1}, {2, 1, 0}, {0, 3, 1}, {1, 0, 4}},
    };
    const int draws = 20000;
    for (const auto &x : cases) {
        const int count = static_cast<int>(x.size()), n = count - 1;
        const double epsilon = std::sqrt(n + 2.0);
        std::vector<double> centre(n, 0.0);
        for (const auto &row : x)
            for (int k = 0; k < n; ++k) centre[k] += row[k] / count;
        Rows y = x;
        for (auto &row : y)
            for (int k = 0; k < n; ++k) row[k] = centre[k] + epsilon * (row[k] - centre[k]);

        // Barycentric coordinates: child = sum l_i v_i with sum l_i = 1.
        auto barycentric = [n, count](const Rows &v, const double *child) {
            Rows a(count, std::vector<double>(count, 1.0));
            std::vector<double> b(count, 1.0);
            for (int k = 0; k < n; ++k) {
                for (int i = 0; i < count; ++i) a[k][i] = v[i][k];
                b[k] = child[k];
            }
            return solve(a, b);
        };

        const auto residents = realParents(x);
        const auto parents = firstIndices(count);
        crossoverparam cp{CrossoverType::SPX, count, 0, epsilon, 0.0};
        std::vector<double> meanWeight(count, 0.0);
        int outsideParents = 0;
        reseed(17);
        for (int draw = 0; draw < draws; ++draw) {
            gagene child = blankGene();
            ASSERT_EQ(spx(&cp, residents.data(), n, parents.data(), &child), 0);
            EXPECT_EQ(child.fitness, qv::kGaUnevaluated);
            const auto l = barycentric(y, child.gene_r);
            for (int i = 0; i < count; ++i) {
                ASSERT_GE(l[i], -1e-12) << "child outside the expanded simplex";
                meanWeight[i] += l[i] / draws;
            }
            const auto lx = barycentric(x, child.gene_r);
            if (*std::min_element(lx.begin(), lx.end()) < 0) ++outsideParents;
        }
        // The child is P_K-1 with P_0 = y_0 and P_k = (1 - r_k) y_k + r_k P_k-1, r_k = u^(1/(k+1)),
        // so E[r_k] = (k+1)/(k+2) and the mean weights are 2/(K+1) for y_0 and 1/(K+1) for
        // every other vertex (K = count).
        for (int i = 0; i < count; ++i)
            EXPECT_NEAR(meanWeight[i], (i == 0 ? 2.0 : 1.0) / (count + 1), 0.01) << "n=" << n << " i=" << i;
        EXPECT_GT(outsideParents, draws / 4) << "the expansion reaches beyond the parents' simplex";
    }
}

// Bits of a string such as "000111".
gagene bitGene(const std::string &bits) {
    gagene g = blankGene();
    for (size_t p = 0; p < bits.size(); ++p) g.gene_b[p] = static_cast<char>(bits[p] - '0');
    return g;
}

std::string bitsOf(const gagene &g, int length) {
    std::string s;
    for (int p = 0; p < length; ++p) s += static_cast<char>('0' + g.gene_b[p]);
    return s;
}

TEST(GaCrossover, NPointsChildrenAlternateSegments) {
    // One cut point at 3 on 000000 and 111111: find a seed whose first cut point is 3.
    unsigned long seed = 1;
    for (;; ++seed) {
        reseed(seed);
        if (GenIntRand(1, 6) == 3) break;
    }
    {
        const std::vector<gagene> residents{bitGene("000000"), bitGene("111111")};
        crossoverparam cp{CrossoverType::NPoints, 2, 1, 0.0, 0.0};
        const int parents[] = {0, 1};
        gagene children[2];
        reseed(seed);
        ASSERT_EQ(npoints_crossover(&cp, residents.data(), 6, parents, children), 0);
        EXPECT_EQ(bitsOf(children[0], 6), "000111");
        EXPECT_EQ(bitsOf(children[1], 6), "111000");
    }

    // Independent rule: position p comes from the other parent when an odd number of cut points
    // lie at or below p. Short strings with several cut points produce repeated cut points.
    struct Case {
        int length, cuts;
    };
    const Case cases[] = {{6, 1}, {3, 2}, {5, 4}, {40, 3}, {40, 6}, {400, 7}, {400, 399}};
    std::mt19937 gen(23);
    for (const auto &c : cases) {
        for (int run = 0; run < 30; ++run) {
            gagene a = blankGene(), b = blankGene();
            for (int p = 0; p < qv::kGaMaxBits; ++p) {
                a.gene_b[p] = static_cast<char>(gen() & 1);
                b.gene_b[p] = static_cast<char>(gen() & 1);
            }
            a.fitness = 1.5;
            b.fitness = -2.5;
            const std::vector<gagene> residents{a, b};
            reseed(1000 + run);
            std::vector<int> cut(c.cuts);
            for (auto &x : cut) x = GenIntRand(1, c.length);

            crossoverparam cp{CrossoverType::NPoints, 2, c.cuts, 0.0, 0.0};
            const int parents[] = {0, 1};
            gagene children[2];
            reseed(1000 + run);
            ASSERT_EQ(npoints_crossover(&cp, residents.data(), c.length, parents, children), 0);
            EXPECT_EQ(children[0].fitness, 1.5);
            EXPECT_EQ(children[1].fitness, -2.5);
            for (int p = 0; p < qv::kGaMaxBits; ++p) {
                const auto below = std::count_if(cut.begin(), cut.end(), [p](int x) { return x <= p; });
                const bool other = p < c.length && below % 2 == 1;
                ASSERT_EQ(children[0].gene_b[p], other ? b.gene_b[p] : a.gene_b[p])
                    << "L=" << c.length << " n=" << c.cuts << " p=" << p;
                ASSERT_EQ(children[1].gene_b[p], other ? a.gene_b[p] : b.gene_b[p]);
            }
        }
    }
}

TEST(GaCrossover, RegionTest) {
    variableregion region{};
    region.arraySize = 2;
    region.minArray[0] = -1;
    region.maxArray[0] = 1;
    region.minArray[1] = 0;
    region.maxArray[1] = 10;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double v0, v1;
        int expected;
    };
    const Case cases[] = {
        {0, 5, 0},     {-1, 0, 0},    {1, 10, 0},   {-1.0000001, 5, 1}, {0, 10.0000001, 1},
        {nan, 5, 2},   {0, nan, 2},   {5, nan, 2},  {inf, 5, 1},        {0, -inf, 1},
    };
    for (const auto &c : cases) {
        gagene g = blankGene();
        g.gene_r[0] = c.v0;
        g.gene_r[1] = c.v1;
        EXPECT_EQ(check_child_region(&region, 2, &g), c.expected) << c.v0 << " " << c.v1;
    }
}

// A whole configuration for one real-coded crossover over `n` variables.
std::unique_ptr<gaparam> realParam(CrossoverType type, int n, double lo, double hi) {
    auto param = std::make_unique<gaparam>();
    std::memset(param.get(), 0, sizeof *param);
    param->gaEncodeParam = {EncodeType::Real, n, 1, n};
    param->crossoverParam = {type, 2, 0, 0.5, 0.35};
    param->variableRegion.arraySize = n;
    for (int k = 0; k < n; ++k) {
        param->variableRegion.minArray[k] = lo;
        param->variableRegion.maxArray[k] = hi;
    }
    return param;
}

TEST(GaCrossover, DispatchRejectsUnknownTypesAndNotANumber) {
    const auto residents = realParents({{0.5, 0.5}, {0.6, 0.4}, {0.4, 0.3}});
    const int parents[] = {0, 1, 2};
    for (CrossoverType type : {CrossoverType::None, CrossoverType::Unset}) {
        auto param = realParam(type, 2, 0, 1);
        gagene child[2];
        testing::internal::CaptureStdout();
        EXPECT_EQ(Crossover(param.get(), residents.data(), parents, child), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## System Error: In Crossover.\n");
    }

    const auto bad = realParents({{0.5, std::nan("")}, {0.6, 0.4}});
    auto param = realParam(CrossoverType::BLX, 2, 0, 1);
    gagene child = blankGene();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Crossover(param.get(), bad.data(), parents, &child), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: Crossover made a child whose value is not a number.\n");
}

TEST(GaCrossover, NarrowRegionRetriesWithTheSameParents) {
    // BLX children of 0 and 1 spread over [-0.5, 1.5]; the region keeps 5 % of them.
    const auto residents = realParents({{0.0}, {1.0}});
    const int parents[] = {0, 1};
    auto param = realParam(CrossoverType::BLX, 1, 0.9, 1.0);
    int retried = 0;
    for (unsigned long seed = 1; seed <= 20; ++seed) {
        reseed(seed);
        gagene child = blankGene();
        testing::internal::CaptureStdout();
        ASSERT_EQ(Crossover(param.get(), residents.data(), parents, &child), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        const unsigned long next = genrand_int32();

        // The same draws by hand: blx until a child lands inside.
        reseed(seed);
        gagene byHand = blankGene();
        int calls = 0;
        do {
            ++calls;
            blx(&param->crossoverParam, residents.data(), 1, parents, &byHand);
        } while (byHand.gene_r[0] < 0.9 || byHand.gene_r[0] > 1.0);
        EXPECT_EQ(child.gene_r[0], byHand.gene_r[0]);
        EXPECT_EQ(next, genrand_int32());
        if (calls > 1) ++retried;
    }
    EXPECT_GT(retried, 15);
}

TEST(GaCrossover, HopelessRegionEndsWithAClippedChild) {
    // Variable 0 of every child lies in [0, 4]; variable 1 is always 5.
    const auto residents = realParents({{1.0, 5.0}, {3.0, 5.0}});
    const int parents[] = {0, 1};
    struct Case {
        double lo0, hi0, clipped;
        const char *log;   // the warning comes with the first clip of the process only
    };
    const Case cases[] = {
        {10, 20, 10,
         " ## Warning: Crossover made no child inside the region in 1000 tries; the child was clipped into the "
         "region (reported once).\n"},
        {-20, -10, -10, ""},
    };
    for (const auto &c : cases) {
        auto param = realParam(CrossoverType::BLX, 2, 0, 10);
        param->variableRegion.minArray[0] = c.lo0;
        param->variableRegion.maxArray[0] = c.hi0;
        reseed(9);
        gagene child = blankGene();
        testing::internal::CaptureStdout();
        ASSERT_EQ(Crossover(param.get(), residents.data(), parents, &child), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.log);
        EXPECT_EQ(child.gene_r[0], c.clipped);
        EXPECT_EQ(child.gene_r[1], 5.0) << "a value inside the region is kept";
        const unsigned long next = genrand_int32();
        reseed(9);
        for (int i = 0; i < 2 * qv::kMaxCrossoverTries; ++i) genrand_int32();
        EXPECT_EQ(next, genrand_int32()) << "exactly 1000 tries of 2 uniform draws";
    }
}

}  // namespace
