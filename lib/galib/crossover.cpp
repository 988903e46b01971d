// Crossover: BLX-alpha, UNDX / UNDX-m and SPX for real-coded genes, n-point crossover for bit
// strings, and the dispatcher that repeats a real-coded operator until its child lies inside the
// search region. Every operator works on fixed-size local arrays (at most 20 variables and 22
// parents), so making a child never allocates.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_alge.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// UNDX-m with m = n takes the most parents: n + 2.
constexpr int kMaxParents = qv::kGaVariableRoom + 2;
constexpr int kMaxVar = qv::kGaVariableRoom;

constexpr char kMsgCrossover[] = " ## System Error: In Crossover.\n";
constexpr char kMsgBlx[] = " ## System Error: In blx.\n";
constexpr char kMsgUndxm[] = " ## System Error: In undxm.\n";
constexpr char kMsgSpx[] = " ## System Error: In spx.\n";
constexpr char kMsgNpoints[] = " ## System Error: In npoints_crossover.\n";
constexpr char kMsgNotANumber[] = " ## Error: Crossover made a child whose value is not a number.\n";
constexpr char kMsgClipped[] =
    " ## Warning: Crossover made no child inside the region in 1000 tries; the child was clipped "
    "into the region (reported once).\n";
static_assert(qv::kMaxCrossoverTries == 1000, "the clip warning names the number of tries");

bool clipReported = false;

using RealOperator = int (*)(const crossoverparam *, const gagene *, int, const int *, gagene *);

// A work matrix of an operator with the row pointers the matrix routines take. Each use keeps its
// own for the run: the storage grows to the largest shape asked for and is never given back, so
// that no child costs an allocation (with up to kGaVariableRoom variables the matrices are too
// large for the stack). Cells are not cleared: the operators write every cell they read.
struct WorkMatrix {
    std::vector<double> cells;
    std::vector<double *> rows;
    double **shape(int nrows, int ncols) {
        const size_t r = static_cast<size_t>(nrows > 0 ? nrows : 1), c = static_cast<size_t>(ncols > 0 ? ncols : 1);
        if (cells.size() < r * c) cells.resize(r * c);
        if (rows.size() < r) rows.resize(r);
        for (size_t i = 0; i < r; ++i) rows[i] = cells.data() + i * c;
        return rows.data();
    }
};

bool variablesFit(int n) { return n >= 1 && n <= kMaxVar; }

// Parent indices must at least address an island's resident array.
bool parentsFit(const int *parents, int count) {
    if (count < 1 || count > kMaxParents) return false;
    for (int i = 0; i < count; ++i)
        if (parents[i] < 0 || parents[i] >= qv::kGaMaxPopulation) return false;
    return true;
}

// Copies the genes of the first `count` parents into the rows of x.
void copyParents(const gagene *residents, const int *parents, int count, int n, double **x) {
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < n; ++k) x[i][k] = residents[parents[i]].gene_r[k];
}

// Moves every value outside its bounds onto the nearest bound.
void clipIntoRegion(const variableregion *region, int n, gagene *child) {
    for (int k = 0; k < n; ++k) {
        if (child->gene_r[k] < region->minArray[k]) child->gene_r[k] = region->minArray[k];
        if (child->gene_r[k] > region->maxArray[k]) child->gene_r[k] = region->maxArray[k];
    }
}

}  // namespace

int Crossover(const gaparam *param, const gagene *residents, const int *parents, gagene *children) {
    const crossoverparam *cp = &param->crossoverParam;
    const int n = param->gaEncodeParam.numVariable;
    RealOperator op = nullptr;
    switch (cp->crossoverType) {
    case CrossoverType::BLX: op = blx; break;
    case CrossoverType::UNDX:
    case CrossoverType::UNDXm: op = undxm; break;
    case CrossoverType::SPX: op = spx; break;
    case CrossoverType::NPoints:
        return npoints_crossover(cp, residents, param->gaEncodeParam.geneLength, parents, children);
    default: log_sys(kMsgCrossover); return -1;
    }

    // The same parents again with fresh random numbers until the child lies inside the region.
    // A region the operator can practically never hit (parents outside it, a region far narrower
    // than the parents' spread) would loop for ever: after the last try the child is clipped.
    for (int tries = 1;; ++tries) {
        const int rc = op(cp, residents, n, parents, children);
        if (rc != 0) return rc;
        const int where = check_child_region(&param->variableRegion, n, children);
        if (where == 0) return 0;
        if (where == 2) {
            log_sys(kMsgNotANumber);
            return -1;
        }
        if (tries >= qv::kMaxCrossoverTries) {
            clipIntoRegion(&param->variableRegion, n, children);
            if (!clipReported) {
                clipReported = true;
                log_sys(kMsgClipped);
            }
            return 0;
        }
    }
}

// A value that is not a number makes the child unusable wherever it stands, so that test runs
// over all values before the bounds are looked at.
int check_child_region(const variableregion *region, int n, const gagene *child) {
    if (n > kMaxVar) n = kMaxVar;
    for (int k = 0; k < n; ++k)
        if (std::isnan(child->gene_r[k])) return 2;
    for (int k = 0; k < n; ++k)
        if (child->gene_r[k] < region->minArray[k] || child->gene_r[k] > region->maxArray[k]) return 1;
    return 0;
}

int func_comp(const void *a, const void *b) {
    const int x = *static_cast<const int *>(a);
    const int y = *static_cast<const int *>(b);
    return (x > y) - (x < y);
}

// BLX-alpha: each variable uniform over the parents' interval widened by alpha times its length
// on both sides.
int blx(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children) {
    if (!variablesFit(n) || !parentsFit(parents, 2)) {
        log_sys(kMsgBlx);
        return -1;
    }
    const gagene &a = residents[parents[0]];
    const gagene &b = residents[parents[1]];
    gagene &child = children[0];
    for (int k = 0; k < n; ++k) {
        const double lo = std::fmin(a.gene_r[k], b.gene_r[k]);
        const double hi = std::fmax(a.gene_r[k], b.gene_r[k]);
        const double d = std::fabs(a.gene_r[k] - b.gene_r[k]);
        child.gene_r[k] = GenUniformRand(lo - cp->alpha * d, hi + cp->alpha * d);
    }
    child.fitness = qv::kGaUnevaluated;
    return 0;
}

// UNDX (m = 1) and UNDX-m. The first m + 1 parents span the primary search space around their
// centre of gravity g; the child is g plus normal steps along the parents' offsets, plus a normal
// step in the orthogonal complement scaled by the distance of the last parent from the primary
// space. The child's fitness is left as it was.
int undxm(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children) {
    int m = 0;
    double sigmaXi = 0.0;
    double sigmaEta = 0.0;
    if (cp->crossoverType == CrossoverType::UNDX) {
        m = 1;
    } else if (cp->crossoverType == CrossoverType::UNDXm) {
        m = cp->m;
    } else {
        log_sys(kMsgUndxm);
        return -1;
    }
    if (!variablesFit(n) || m < 1 || m > n || !parentsFit(parents, m + 2)) {
        log_sys(kMsgUndxm);
        return -1;
    }
    if (cp->crossoverType == CrossoverType::UNDX) {
        sigmaXi = cp->alpha;
        sigmaEta = cp->beta / std::sqrt(static_cast<double>(n));
    } else {
        sigmaXi = cp->alpha / std::sqrt(static_cast<double>(m));
        if (m < n)   // with m = n there is no orthogonal step
            sigmaEta = cp->beta * std::sqrt(m + 1.0) * std::sqrt(3.0) /
                       (std::sqrt(static_cast<double>(n - m)) * std::sqrt(m + 2.0) * std::sqrt(2.0));
    }

    // 1. Centre of gravity of the first m + 1 parents and every parent's offset from it.
    static WorkMatrix d_work;
    double **const d = d_work.shape(m + 2, n);
    copyParents(residents, parents, m + 2, n, d);
    double g[kMaxVar];
    CalculateCenterOfGravity(d, m + 1, n, g);
    for (int i = 0; i < m + 2; ++i)
        for (int k = 0; k < n; ++k) d[i][k] -= g[k];

    // 2. Primary part: s = sum of w_i d_i over the first m offsets.
    double child[kMaxVar];
    for (int k = 0; k < n; ++k) child[k] = 0.0;
    for (int i = 0; i < m; ++i) {
        const double w = GenNormalRand(0.0, sigmaXi * sigmaXi);
        for (int k = 0; k < n; ++k) child[k] += w * d[i][k];
    }
    for (int k = 0; k < n; ++k) child[k] = g[k] + child[k];

    // 3. Orthogonal part: t projected onto the complement of the primary space, times D.
    if (m < n) {
        static WorkMatrix basis_work, t_work, z_work;
        double **const basis = basis_work.shape(n, n);
        const int r = ReductMatrix(d, m, n, basis);
        if (r < 0) return -1;
        if (r > 0) GrammSchmidtOrthogonalize(basis, r, n, basis);

        double **const t = t_work.shape(1, n);
        for (int k = 0; k < n; ++k) t[0][k] = GenNormalRand(0.0, sigmaEta * sigmaEta);

        double **const z = z_work.shape(1, n);
        double distance = 0.0;
        double *last = d[m + 1];
        if (r > 0) {
            // P = I - Q^T Q projects onto the orthogonal complement of the primary space.
            static WorkMatrix qt_work, projector_work, last_work;
            double **const qt = qt_work.shape(n, n);
            double **const projector = projector_work.shape(n, n);
            TransposedMatrix(basis, r, n, qt);
            ProductMatrix(qt, n, r, basis, r, n, projector);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) projector[i][j] = (i == j ? 1.0 : 0.0) - projector[i][j];
            ProductMatrix(t, 1, n, projector, n, n, z);
            double **const lastRow = last_work.shape(1, n);
            ProductMatrix(&last, 1, n, projector, n, n, lastRow);
            distance = VectorNorm(lastRow[0], n);
        } else {
            for (int k = 0; k < n; ++k) z[0][k] = t[0][k];
            distance = VectorNorm(last, n);
        }
        for (int k = 0; k < n; ++k) child[k] += distance * z[0][k];
    }

    for (int k = 0; k < n; ++k) children[0].gene_r[k] = child[k];
    return 0;
}

// SPX: the parents' simplex expanded by epsilon about its centre of gravity, and a child drawn
// uniformly inside it by the recursive construction c_k = r_k (y_{k-1} - y_k + c_{k-1}).
int spx(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children) {
    const int count = cp->numParent;
    if (!variablesFit(n) || count < 2 || !parentsFit(parents, count)) {
        log_sys(kMsgSpx);
        return -1;
    }
    const double epsilon = cp->alpha;

    static WorkMatrix y_work;
    double **const y = y_work.shape(count, n);
    copyParents(residents, parents, count, n, y);
    double center[kMaxVar];
    CalculateCenterOfGravity(y, count, n, center);
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < n; ++k) y[i][k] = center[k] + epsilon * (y[i][k] - center[k]);

    double c[kMaxVar];
    for (int k = 0; k < n; ++k) c[k] = 0.0;
    for (int i = 1; i < count; ++i) {
        const double r = std::pow(GenUniformRand(0.0, 1.0), 1.0 / (i + 1));
        for (int k = 0; k < n; ++k) c[k] = r * (y[i - 1][k] - y[i][k] + c[k]);
    }
    for (int k = 0; k < n; ++k) children[0].gene_r[k] = y[count - 1][k] + c[k];
    children[0].fitness = qv::kGaUnevaluated;
    return 0;
}

// n-point crossover of two bit strings: the children start as copies of their parents (fitness
// included), and from each sorted cut point on the tails are exchanged (even cut points) or
// restored (odd ones), so the segments alternate between the other and the own parent.
int npoints_crossover(const crossoverparam *cp, const gagene *residents, int geneLength,
                      const int *parents, gagene *children) {
    const int count = cp->m;
    if (geneLength < 2 || geneLength > qv::kGaMaxBits || count < 0 || count > qv::kGaMaxBits ||
        !parentsFit(parents, 2)) {
        log_sys(kMsgNpoints);
        return -1;
    }
    int cuts[qv::kGaMaxBits];
    for (int i = 0; i < count; ++i) cuts[i] = GenIntRand(1, geneLength);
    std::qsort(cuts, count, sizeof cuts[0], func_comp);

    const gagene &a = residents[parents[0]];
    const gagene &b = residents[parents[1]];
    children[0] = a;
    children[1] = b;
    for (int i = 0; i < count; ++i) {
        const bool exchange = i % 2 == 0;
        for (int p = cuts[i]; p < geneLength; ++p) {
            children[0].gene_b[p] = exchange ? b.gene_b[p] : a.gene_b[p];
            children[1].gene_b[p] = exchange ? a.gene_b[p] : b.gene_b[p];
        }
    }
    return 0;
}
