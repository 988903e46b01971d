// Element-wise arithmetic between matrices of the same shape and between a matrix and a
// scalar. The result may be the same record as an operand.
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_arith.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace {

bool valid(const _matrix *m) {
    return m != nullptr && m->row >= 1 && m->col >= 1 && m->elem != nullptr;
}

bool sameShape(const _matrix *a, const _matrix *b) { return a->row == b->row && a->col == b->col; }

long count(const _matrix *m) { return static_cast<long>(m->row) * m->col; }

template <class Op>
int binary(const _matrix *a, const _matrix *b, _matrix *x, const char *msg, Op op) {
    if (!valid(a) || !valid(b) || !valid(x) || !sameShape(a, b) || !sameShape(a, x)) {
        log_sys("%s", msg);
        return -1;
    }
    const long n = count(a);
    const double *pa = a->elem;
    const double *pb = b->elem;
    double *px = x->elem;
    for (long k = 0; k < n; ++k) px[k] = op(pa[k], pb[k]);
    return 0;
}

template <class Op>
int unary(const _matrix *a, _matrix *x, const char *msg, Op op) {
    if (!valid(a) || !valid(x) || !sameShape(a, x)) {
        log_sys("%s", msg);
        return -1;
    }
    const long n = count(a);
    const double *pa = a->elem;
    double *px = x->elem;
    for (long k = 0; k < n; ++k) px[k] = op(pa[k]);
    return 0;
}

}  // namespace

int mtx_addup(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    return binary(MA, MB, MX, "ERROR: mtx_addup()\n", [](double a, double b) { return a + b; });
}

int mtx_subtract(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    return binary(MA, MB, MX, "ERROR: mtx_subtract()\n", [](double a, double b) { return a - b; });
}

int mtx_elem_multiply(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    return binary(MA, MB, MX, "ERROR: mtx_elem_multiply()\n",
                  [](double a, double b) { return a * b; });
}

int mtx_elem_divide(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    return binary(MA, MB, MX, "ERROR: mtx_elem_divide()\n",
                  [](double a, double b) { return a / b; });
}

int mtx_elem_power(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    return binary(MA, MB, MX, "ERROR: mtx_elem_power()\n",
                  [](double a, double b) { return std::pow(a, b); });
}

int mtx_elem_addup_to_scalar(double p, const _matrix *MA, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_elem_addup_to_scalar()\n", [p](double a) { return p + a; });
}

int mtx_elem_subtract_from_scalar(double p, const _matrix *MA, _matrix *MX) {
    // This one names the reason before its closing line.
    const char *reason = nullptr;
    if (MA == nullptr || MX == nullptr || MA->elem == nullptr || MX->elem == nullptr) {
        reason = "mtx_elem_subtract_from_scalar(NULL)\n";
    } else if (MA->row <= 0 || MA->col <= 0) {
        reason = "mtx_elem_subtract_from_scalar(a.r/c<=0)\n";
    } else if (MX->row <= 0 || MX->col <= 0) {
        reason = "mtx_elem_subtract_from_scalar(x.r/c<=0)\n";
    } else if (!sameShape(MA, MX)) {
        reason = "mtx_elem_subtract_from_scalar(x.r/c!=a.r/c)\n";
    }
    if (reason != nullptr) {
        log_sys("%s", reason);
        log_sys("ERROR: mtx_elem_subtract_from_scalar()\n");
        return -1;
    }
    const long n = count(MA);
    for (long k = 0; k < n; ++k) MX->elem[k] = p - MA->elem[k];
    return 0;
}

int mtx_elem_multiply_by_scalar(double p, const _matrix *MA, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_elem_multiply_by_scalar()\n",
                 [p](double a) { return p * a; });
}

int mtx_elem_divide_into_scalar(double p, const _matrix *MA, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_elem_divide_into_scalar()\n",
                 [p](double a) { return p / a; });
}

int mtx_scalar_addup(const _matrix *MA, double p, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_scalar_addup()\n", [p](double a) { return a + p; });
}

int mtx_scalar_multiply(const _matrix *MA, double p, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_scalar_multiply()\n", [p](double a) { return a * p; });
}

int mtx_scalar_power(const _matrix *MA, double p, _matrix *MX) {
    return unary(MA, MX, "ERROR: mtx_scalar_power()\n", [p](double a) { return std::pow(a, p); });
}

int mtx_abs(const _matrix *src, _matrix *abs) {
    // The result only needs as many elements as the source (its orientation may differ).
    if (!valid(src) || abs == nullptr || abs->elem == nullptr ||
        static_cast<long>(abs->row) * abs->col != count(src)) {
        log_sys("ERROR: mtx_abs()\n");
        return -1;
    }
    const long n = count(src);
    for (long k = 0; k < n; ++k) abs->elem[k] = std::fabs(src->elem[k]);
    return 0;
}
