// S-system steady-state analysis (solver 12).
//
// Every dependent variable X(i), i = 1..n, of an S-system obeys
//     dX(i)/dt = alpha(i) * prod_j X(j)^g(i,j) - beta(i) * prod_j X(j)^h(i,j),
// the products running over the n dependent and the m independent variables. At a steady state
// both terms are equal, which is linear in the logarithms:
//     Ad * lnXd = ln(beta/alpha) - Ai * lnXi,   Ad = Gd - Hd, Ai = Gi - Hi,
// so lnXd = M ln(beta/alpha) - N lnXi with M = Ad^-1 and N = M Ai. The same M gives every
// logarithmic gain and sensitivity of the report in closed form.
//
// This unit is linked only into the programs that set the driver's solver-12 hook.
#include "quorvant/solverlib/s_std_solver.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_alloc.h"
#include "quorvant/nrlib/nr_lu.h"
#include "quorvant/nrlib/nr_mutil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/model.h"

namespace {

// ---- Names of the parameters that describe the S-system -----------------------------------------
constexpr const char *kIndependentName = "constantPlayer";   // X(n+1..n+m), scaled by G_VALUE
constexpr const char *kAlphaName = "kplus";                   // alpha(1..n)
constexpr const char *kBetaName = "kminus";                   // beta(1..n)
constexpr const char *kProductionOrdersName = "g";
constexpr const char *kDegradationOrdersName = "h";
// m is the number of values of parameter number 1, and the kinetic-order sensitivities read the
// independent variables from it, so "constantPlayer" must be that parameter.
constexpr int kIndependentParamNo = 1;

// ---- Numerical constants ------------------------------------------------------------------------
// Gd - Hd is treated as singular when one of its LU pivots is at most this fraction of its largest
// entry. The LU routine replaces an exactly zero pivot by a tiny number and succeeds, which would
// turn two dependent equations into a "steady state" of about 1e20; a pivot this small means the
// equations do not determine the logarithms of the steady state.
constexpr double kSingularPivotRatio = 1e-12;

// ---- Messages -----------------------------------------------------------------------------------
constexpr const char *kMsgErrSsys = "\n## Error in SsysSTD.\n";
constexpr const char *kMsgErrAllocBase = "## Error in allocate_base_matrixes.\n";
constexpr const char *kMsgErrAnalysis = "## Error in std_analysis.\n";
constexpr const char *kMsgNoMemory = "#  Cannot allocate memory.\n";
constexpr const char *kMsgNVar = "## S-system error!! N_VAR = %d is outside 1..%d.\n";
constexpr const char *kMsgMissingParam = "## S-system error!! Parameter \"%s\" is not defined.\n";
constexpr const char *kMsgBadParamNo =
    "## S-system error!! Parameter \"%s\" has number %d; at most %d parameters can be used.\n";
constexpr const char *kMsgIndependentNo =
    "## S-system error!! \"constantPlayer\" must be parameter number 1 (the first PARAM_NAME); it "
    "is number %d.\n";
constexpr const char *kMsgTooFewValues =
    "## S-system error!! \"%s\" has %d values; N_VAR = %d are needed.\n";
constexpr const char *kMsgNotPositive =
    "## S-system error!! Value %d of \"%s\" is %g; it must be positive.\n";
constexpr const char *kMsgNotFiniteOrder =
    "## S-system error!! Value %d of \"%s\" is %g; a kinetic order must be a finite number.\n";
constexpr const char *kMsgNoTag =
    "## S-system error!! Value %d of \"%s\" has no tag; kinetic orders need a tag kind_i_j.\n";
constexpr const char *kMsgBadTag =
    "## S-system error!! Tag '%s' of value %d of \"%s\" is not of the form kind_i_j.\n";
constexpr const char *kMsgTagI =
    "## S-system error!! Tag '%s' of value %d of \"%s\": equation i = %d is outside 1..%d.\n";
constexpr const char *kMsgTagJ =
    "## S-system error!! Tag '%s' of value %d of \"%s\": %s variable j = %d is outside 1..%d.\n";
constexpr const char *kMsgSingular =
    "## S-system error!! The matrix Gd - Hd is singular: the steady state is not determined.\n";
constexpr const char *kMsgNotFinite =
    "## S-system error!! The steady state of X[%d] (ln X = %g) is outside the range of doubles.\n";
constexpr const char *kMsgNoSolutionMatrix = "## Error in doSolver12: no time-course matrix.\n";
constexpr const char *kOutFailure = "\n$$ Failure!!\n";
constexpr const char *kOutValueHeader = "index,     y value\n";

// ---- Report texts -------------------------------------------------------------------------------
constexpr const char *kTitleValues = "\n$ STD Values and Fluxes $\n";
constexpr const char *kHeadValues = "index,  STD value ,      Flux\n";
constexpr const char *kRowValues = "%5d,%12.3e,%12.3e, #%s\n";
constexpr const char *kTitleGains = "\n$ Logarythmic Gains of Metabolites $\n";
constexpr const char *kTitleSensRate = "\n$ Sensitivities of Metabolites with respect to rate constants $\n";
constexpr const char *kTitleSensOrder =
    "\n$ Sensitivities of Metabolites with respect to kinetic orders $\n";
constexpr const char *kTitleFluxGains = "\n$ Logarythmic Gains of Fluxes $\n";
constexpr const char *kTitleFluxSensRate =
    "\n$ Sensitivities of Fluxes with respect to rate constants $\n";
constexpr const char *kTitleFluxSensOrder =
    "\n$ Sensitivities of Fluxes with respect to kinetic orders $\n";
constexpr const char *kHeadVar = "param/var";
constexpr const char *kHeadFlux = "param/flux";
constexpr const char *kRowLabel = "%14s[%3d]";
constexpr const char *kRowEntry = ",%11.3e";
constexpr const char *kLabelIndependent = "constantPlayer";
constexpr const char *kLabelAlpha = "alpha";

// ---- Owners of the 1-origin storage of the nr_* allocators --------------------------------------
// A matrix with columns 1..0 has no storage; the n x m matrices get at least one (zero) column.
int colsFor(int m) { return m > 0 ? m : 1; }

class NrMatrix {
public:
    NrMatrix(int rows, int cols) : rows_(rows), cols_(cols), a_(nr_alloc_matrix(1, rows, 1, cols)) {
        if (a_) clear();
    }
    ~NrMatrix() {
        if (a_) nr_free_matrix(a_, 1, rows_, 1, cols_);
    }
    NrMatrix(const NrMatrix &) = delete;
    NrMatrix &operator=(const NrMatrix &) = delete;
    bool ok() const { return a_ != nullptr; }
    double **get() const { return a_; }
    void clear() {
        for (int i = 1; i <= rows_; ++i)
            for (int j = 1; j <= cols_; ++j) a_[i][j] = 0.0;
    }

private:
    int rows_;
    int cols_;
    double **a_;
};

// A 1-origin vector [1..n] of the nr_* allocators (double or int), released on destruction.
template <typename T, T *(*Alloc)(long, long), void (*Free)(T *, long, long)>
class NrVec {
public:
    explicit NrVec(int n) : n_(n), v_(Alloc(1, n)) {}
    ~NrVec() {
        if (v_) Free(v_, 1, n_);
    }
    NrVec(const NrVec &) = delete;
    NrVec &operator=(const NrVec &) = delete;
    bool ok() const { return v_ != nullptr; }
    T *get() const { return v_; }

private:
    int n_;
    T *v_;
};
using NrVector = NrVec<double, nr_alloc_vector, nr_free_vector>;
using NrIVector = NrVec<int, nr_alloc_ivector, nr_free_ivector>;

// Gd, Gi, Hd, Hi for the length of one analysis; released by free_base_matrixes on every path.
struct BaseMatrices {
    BaseMatrices(int n_, int m_) : n(n_), m(m_) {
        allocate_base_matrixes(&Gd, &Gi, &Hd, &Hi, n, m);
    }
    ~BaseMatrices() { free_base_matrixes(Gd, Gi, Hd, Hi, n, m); }
    BaseMatrices(const BaseMatrices &) = delete;
    BaseMatrices &operator=(const BaseMatrices &) = delete;
    bool ok() const { return Gd != nullptr; }

    int n;
    int m;
    double **Gd = nullptr;
    double **Gi = nullptr;
    double **Hd = nullptr;
    double **Hi = nullptr;
};

// ---- Helpers ------------------------------------------------------------------------------------
// The kind of the kinetic orders a sens_ call works on.
struct OrderKind {
    const char *label;   // row label
    double sign;         // d ln X / d ln order = sign * order * M[k][r] * ln X
};
OrderKind orderKind(int flag) {
    return flag == 1 ? OrderKind{"g", -1.0} : OrderKind{"h", 1.0};
}

// ln of the independent variable X(n+u) as the model code sees it (scaled by G_VALUE).
double lnIndependent(int u) { return std::log(Param.val[kIndependentParamNo][u]); }

void writeHeader(FILE *fp, const char *first, char var, int n) {
    std::fprintf(fp, "%-19s", first);
    for (int k = 1; k <= n; ++k) std::fprintf(fp, ",     %c[%3d]", var, k);
    std::fputc('\n', fp);
}

void writeLabel(FILE *fp, const char *label, int index) { std::fprintf(fp, kRowLabel, label, index); }
void writeEntry(FILE *fp, double v) { std::fprintf(fp, kRowEntry, v); }
void endRow(FILE *fp) { std::fputc('\n', fp); }

// Visits the non-zero orders of Md (dependent) and Mi (independent) in report order: equation by
// equation, dependent variables first. f(r, order, lnX) is called once per row.
template <class F>
void forEachOrder(double **Md, double **Mi, const double *y, int n, int m, F f) {
    for (int r = 1; r <= n; ++r) {
        for (int j = 1; j <= n; ++j)
            if (Md[r][j] != 0.0) f(r, Md[r][j], std::log(y[j]));
        for (int u = 1; u <= m; ++u)
            if (Mi[r][u] != 0.0) f(r, Mi[r][u], lnIndependent(u));
    }
}

// Checks the values of one parameter: at least `need` of them, the first `need` positive. The
// independent variables are shown unscaled, as the user wrote them.
bool checkPositive(const char *name, int no, int need, double scale) {
    bool ok = true;
    for (int k = 1; k <= need; ++k) {
        const double v = Param.val[no][k];
        if (!(v > 0.0)) {
            log_sys(kMsgNotPositive, k, name, v / scale);
            ok = false;
        }
    }
    return ok;
}

// Checks every value of "g" or "h": a finite order with a tag that places it in range (a missing
// parameter has no orders).
bool checkOrders(const char *name, int n, int m) {
    const int no = Name2Pno(name);
    if (no == 0) return true;
    if (no >= qv::kMaxParamNo) {
        log_sys(kMsgBadParamNo, name, no, qv::kMaxParamNo - 1);
        return false;
    }
    bool ok = true;
    for (int k = 1; k <= Param.n_val[no]; ++k) {
        if (!std::isfinite(Param.val[no][k])) {
            log_sys(kMsgNotFiniteOrder, k, name, Param.val[no][k]);
            ok = false;
        }
        int i = 0;
        int j = 0;
        const int dep = get_param(no, k, &i, &j);
        const char *tag = getParamTag(no, k);
        if (dep < 0) {
            // A PARAM line without field 10 stores an empty tag.
            if (tag == nullptr || *tag == '\0')
                log_sys(kMsgNoTag, k, name);
            else
                log_sys(kMsgBadTag, tag, k, name);
            ok = false;
            continue;
        }
        if (i < 1 || i > n) {
            log_sys(kMsgTagI, tag, k, name, i, n);
            ok = false;
        }
        const int jmax = dep ? n : m;
        if (j < 1 || j > jmax) {
            log_sys(kMsgTagJ, tag, k, name, dep ? "dependent" : "independent", j, jmax);
            ok = false;
        }
    }
    return ok;
}

// Reads a run of decimal digits as a non-negative int; false if there is none or it overflows.
bool readIndex(const char *&p, int *out) {
    if (*p < '0' || *p > '9') return false;
    const char *end = p + std::strlen(p);
    const auto [next, ec] = std::from_chars(p, end, *out);
    if (ec != std::errc()) return false;
    p = next;
    return true;
}

// The largest magnitude among Ad[1..n][1..n].
double maxAbs(double **a, int n) {
    double mx = 0.0;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) mx = std::fmax(mx, std::fabs(a[i][j]));
    return mx;
}

}  // namespace

// ---- Driver path --------------------------------------------------------------------------------

int doSolver12(double *y) {
    if (SsysSTD(y) != 0) {
        if (F_GA == 0 && Fp_out) std::fputs(kOutFailure, Fp_out);
        return -1;
    }
    if (Fp_out) std::fputs(kOutValueHeader, Fp_out);
    if (F_GA != 0) {
        if (SolutionMatrix == nullptr) {
            log_sys("%s", kMsgNoSolutionMatrix);
            return -1;
        }
        double *row = SolutionMatrix[StepNum];
        row[0] = 0.0;
        for (int i = 1; i <= Param.n_var; ++i) row[i] = y[i] / GeneConc;
        ++StepNum;
    }
    return 0;
}

// ---- The analysis -------------------------------------------------------------------------------

int ssys_check_model(int n, int m) {
    if (n < 1 || n > qv::kMaxVar) {
        log_sys(kMsgNVar, n, qv::kMaxVar);
        return -1;
    }
    // Structure first: without these the value and tag checks below cannot be made.
    bool ok = true;
    for (const char *name : {kIndependentName, kAlphaName, kBetaName}) {
        const int no = Name2Pno(name);
        if (no == 0) {
            log_sys(kMsgMissingParam, name);
            ok = false;
        } else if (no >= qv::kMaxParamNo) {
            log_sys(kMsgBadParamNo, name, no, qv::kMaxParamNo - 1);
            ok = false;
        }
    }
    if (!ok) return -1;
    const int noX = Name2Pno(kIndependentName);
    const int noA = Name2Pno(kAlphaName);
    const int noB = Name2Pno(kBetaName);
    if (noX != kIndependentParamNo) {
        log_sys(kMsgIndependentNo, noX);
        ok = false;
    }
    for (const int no : {noA, noB}) {
        if (Param.n_val[no] < n) {
            log_sys(kMsgTooFewValues, Pno2Name(no), Param.n_val[no], n);
            ok = false;
        }
    }
    if (!ok) return -1;

    // ln(beta/alpha) and ln X of the independent variables must exist.
    ok = checkPositive(kAlphaName, noA, n, 1.0) && ok;
    ok = checkPositive(kBetaName, noB, n, 1.0) && ok;
    ok = checkPositive(kIndependentName, noX, m, GeneConc > 0.0 ? GeneConc : 1.0) && ok;
    ok = checkOrders(kProductionOrdersName, n, m) && ok;
    ok = checkOrders(kDegradationOrdersName, n, m) && ok;
    return ok ? 0 : -1;
}

int SsysSTD(double *y) {
    const int n = Param.n_var;
    const int m = Param.n_val[kIndependentParamNo];
    if (ssys_check_model(n, m) != 0) {
        log_sys("%s", kMsgErrSsys);
        return -1;
    }
    BaseMatrices base(n, m);
    if (!base.ok()) {
        log_sys("%s", kMsgErrAllocBase);
        log_sys("%s", kMsgErrSsys);
        return -1;
    }
    set_params(base.Gd, base.Gi, base.Hd, base.Hi, n, m);
    // The report belongs to text mode; a search only keeps the steady state.
    FILE *report = F_GA == 0 ? Fp_out : nullptr;
    if (std_analysis(report, base.Gd, base.Gi, base.Hd, base.Hi, y, n, m) != 0) {
        log_sys("%s", kMsgErrSsys);
        return -1;
    }
    return 0;
}

int allocate_base_matrixes(double ***Gd, double ***Gi, double ***Hd, double ***Hi, int n, int m) {
    const int mc = colsFor(m);
    *Gd = nr_alloc_matrix(1, n, 1, n);
    *Gi = nr_alloc_matrix(1, n, 1, mc);
    *Hd = nr_alloc_matrix(1, n, 1, n);
    *Hi = nr_alloc_matrix(1, n, 1, mc);
    if (*Gd && *Gi && *Hd && *Hi) {
        for (double **a : {*Gd, *Hd})
            for (int i = 1; i <= n; ++i)
                for (int j = 1; j <= n; ++j) a[i][j] = 0.0;
        for (double **a : {*Gi, *Hi})
            for (int i = 1; i <= n; ++i)
                for (int u = 1; u <= mc; ++u) a[i][u] = 0.0;
        return 0;
    }
    free_base_matrixes(*Gd, *Gi, *Hd, *Hi, n, m);
    *Gd = *Gi = *Hd = *Hi = nullptr;
    return -1;
}

void free_base_matrixes(double **Gd, double **Gi, double **Hd, double **Hi, int n, int m) {
    const int mc = colsFor(m);
    if (Gd) nr_free_matrix(Gd, 1, n, 1, n);
    if (Gi) nr_free_matrix(Gi, 1, n, 1, mc);
    if (Hd) nr_free_matrix(Hd, 1, n, 1, n);
    if (Hi) nr_free_matrix(Hi, 1, n, 1, mc);
}

void set_params(double **Gd, double **Gi, double **Hd, double **Hi, int n, int m) {
    struct Target {
        const char *name;
        double **dep;
        double **ind;
    };
    for (const Target &t : {Target{kProductionOrdersName, Gd, Gi}, Target{kDegradationOrdersName, Hd, Hi}}) {
        const int no = Name2Pno(t.name);
        if (no == 0 || no >= qv::kMaxParamNo) continue;
        for (int k = 1; k <= Param.n_val[no]; ++k) {
            int i = 0;
            int j = 0;
            const int dep = get_param(no, k, &i, &j);
            if (dep < 0 || i < 1 || i > n || j < 1 || j > (dep ? n : m)) continue;
            (dep ? t.dep : t.ind)[i][j] = Param.val[no][k];
        }
    }
}

int get_param(int no, int index, int *i, int *j) {
    const char *tag = getParamTag(no, index);
    if (tag == nullptr) return -1;
    const char *us = std::strchr(tag, '_');
    if (us == nullptr) return -1;
    const char *p = us + 1;
    if (!readIndex(p, i) || *p != '_') return -1;
    ++p;
    if (!readIndex(p, j)) return -1;
    // A line end left on the last field of the line (a file with CR LF line ends) is not part of
    // the tag; anything else after j is.
    while (*p == '\r' || *p == '\n') ++p;
    if (*p != '\0') return -1;
    // The indices are digits only, so a 'd' can only stand in the kind.
    return std::memchr(tag, 'd', static_cast<size_t>(us - tag)) != nullptr ? 1 : 0;
}

int std_analysis(FILE *fp, double **Gd, double **Gi, double **Hd, double **Hi, double *y, int n,
                 int m) {
    const int mc = colsFor(m);
    // 1. Work storage, released on every path by its owners.
    NrMatrix M(n, n);
    NrMatrix Ad(n, n);
    NrMatrix Ai(n, mc);
    NrMatrix N(n, mc);
    NrMatrix Q(n, mc);
    NrVector col(n);
    NrVector V(n);
    NrVector betaSaved(n);
    NrIVector indx(n);
    if (!M.ok() || !Ad.ok() || !Ai.ok() || !N.ok() || !Q.ok() || !col.ok() || !V.ok() ||
        !betaSaved.ok() || !indx.ok()) {
        log_sys("%s", kMsgNoMemory);
        return -1;
    }
    double **m_ = M.get();
    double **ad = Ad.get();
    double **ai = Ai.get();
    double **nm = N.get();
    double **q = Q.get();
    double *c = col.get();
    double *v = V.get();
    double *bs = betaSaved.get();

    // 2. Ad = Gd - Hd, Ai = Gi - Hi; M = Ad^-1 column by column; N = M Ai; Q = Gd N.
    nr_sub_matrix(Gd, Hd, ad, n, n);
    nr_sub_matrix(Gi, Hi, ai, n, mc);
    const double adMax = maxAbs(ad, n);
    double d = 0.0;
    if (nr_ludcmp(ad, n, indx.get(), &d) != 0) {
        log_sys("%s", kMsgErrAnalysis);
        return -1;
    }
    for (int j = 1; j <= n; ++j) {
        if (!(std::fabs(ad[j][j]) > kSingularPivotRatio * adMax)) {
            log_sys("%s", kMsgSingular);
            log_sys("%s", kMsgErrAnalysis);
            return -1;
        }
    }
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) c[i] = 0.0;
        c[j] = 1.0;
        nr_lubksb(ad, n, indx.get(), c);
        for (int i = 1; i <= n; ++i) m_[i][j] = c[i];
    }
    nr_mult_matrix(m_, ai, nm, n, n, mc);
    nr_mult_matrix(Gd, nm, q, n, n, mc);

    // 3. ln X = M ln(beta/alpha) - N ln Xi.
    const int noA = Name2Pno(kAlphaName);
    const int noB = Name2Pno(kBetaName);
    for (int k = 1; k <= n; ++k) c[k] = std::log(Param.val[noB][k] / Param.val[noA][k]);
    for (int i = 1; i <= n; ++i) {
        double lnx = 0.0;
        for (int k = 1; k <= n; ++k) lnx += m_[i][k] * c[k];
        for (int u = 1; u <= m; ++u) lnx -= nm[i][u] * lnIndependent(u);
        const double x = std::exp(lnx);
        if (!std::isfinite(x) || x <= 0.0) {
            log_sys(kMsgNotFinite, i, lnx);
            log_sys("%s", kMsgErrAnalysis);
            return -1;
        }
        y[i] = x;
    }

    // 4. Production fluxes: the model's right-hand side with every beta set to 0.
    for (int i = 1; i <= n; ++i) {
        bs[i] = Param.val[noB][i];
        Param.val[noB][i] = 0.0;
    }
    usr_fvec(v, y, GeneConc, &Param);
    for (int i = 1; i <= n; ++i) Param.val[noB][i] = bs[i];

    // 5. The report.
    if (fp == nullptr) return 0;
    std::fputs(kTitleValues, fp);
    std::fputs(kHeadValues, fp);
    for (int i = 1; i <= n; ++i) std::fprintf(fp, kRowValues, i, y[i] / GeneConc, v[i], getVarTag(i));

    std::fputs(kTitleGains, fp);
    writeHeader(fp, kHeadVar, 'y', n);
    for (int u = 1; u <= m; ++u) {
        writeLabel(fp, kLabelIndependent, u);
        for (int k = 1; k <= n; ++k) writeEntry(fp, -nm[k][u]);
        endRow(fp);
    }

    std::fputs(kTitleSensRate, fp);
    writeHeader(fp, kHeadVar, 'y', n);
    for (int i = 1; i <= n; ++i) {
        writeLabel(fp, kLabelAlpha, i);
        for (int k = 1; k <= n; ++k) writeEntry(fp, -m_[k][i]);
        endRow(fp);
    }

    std::fputs(kTitleSensOrder, fp);
    writeHeader(fp, kHeadVar, 'y', n);
    sens_kinetic(fp, Gd, Gi, m_, y, n, m, 1);
    sens_kinetic(fp, Hd, Hi, m_, y, n, m, 0);

    std::fputs(kTitleFluxGains, fp);
    writeHeader(fp, kHeadFlux, 'v', n);
    for (int u = 1; u <= m; ++u) {
        writeLabel(fp, kLabelIndependent, u);
        for (int k = 1; k <= n; ++k) writeEntry(fp, Gi[k][u] - q[k][u]);
        endRow(fp);
    }

    std::fputs(kTitleFluxSensRate, fp);
    writeHeader(fp, kHeadFlux, 'v', n);
    for (int i = 1; i <= n; ++i) {
        writeLabel(fp, kLabelAlpha, i);
        for (int k = 1; k <= n; ++k) {
            double s = k == i ? 1.0 : 0.0;
            for (int l = 1; l <= n; ++l) s -= Gd[k][l] * m_[l][i];
            writeEntry(fp, s);
        }
        endRow(fp);
    }

    std::fputs(kTitleFluxSensOrder, fp);
    writeHeader(fp, kHeadFlux, 'v', n);
    sens_kinetic_flux(fp, Gd, Gi, m_, y, n, m, 1);
    sens_kinetic_flux(fp, Hd, Hi, m_, y, n, m, 0);
    return 0;
}

void sens_kinetic(FILE *fp, double **Md, double **Mi, double **M, double *y, int n, int m, int flag) {
    if (fp == nullptr) return;
    const OrderKind kind = orderKind(flag);
    int row = 0;
    forEachOrder(Md, Mi, y, n, m, [&](int r, double order, double lnx) {
        writeLabel(fp, kind.label, ++row);
        for (int k = 1; k <= n; ++k) writeEntry(fp, kind.sign * order * M[k][r] * lnx);
        endRow(fp);
    });
}

void sens_kinetic_flux(FILE *fp, double **Md, double **Mi, double **M, double *y, int n, int m,
                       int flag) {
    if (fp == nullptr) return;
    const OrderKind kind = orderKind(flag);
    int row = 0;
    forEachOrder(Md, Mi, y, n, m, [&](int r, double order, double lnx) {
        writeLabel(fp, kind.label, ++row);
        // Direct effect on the flux of equation r, plus the effect through the steady state:
        // d lnX(l) = sign * order * M[l][r] * lnX, weighted by the orders Md[k][l] of flux k.
        for (int k = 1; k <= n; ++k) {
            double s = k == r ? order * lnx : 0.0;
            for (int l = 1; l <= n; ++l) s += Md[k][l] * kind.sign * order * M[l][r] * lnx;
            writeEntry(fp, s);
        }
        endRow(fp);
    });
}
