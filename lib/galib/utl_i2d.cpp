// Conversions between grid indices and real values of the search variables, and the decoding of
// an individual into its variable values.
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_encode.h"
#include "quorvant/galib/utl_i2d.h"

namespace {

constexpr char kMsgBinarySearch[] = " ## Error: In binary_search\n";
constexpr char kMsgQuantum[] = " ## Error: Quantum number must be in region [1, %d].\n";

// Accepted distance of a value from its grid point, in grid steps.
constexpr double kHalfStep = 0.5;

// Variables that a call may touch: never more than the fixed arrays hold.
int clampVariables(int n) { return n < 0 ? 0 : (n > qv::kGaVariableRoom ? qv::kGaVariableRoom : n); }

}  // namespace

int Int2Double(const variableregion *region, const int *ints, double *x, int n) {
    n = clampVariables(n);
    for (int k = 0; k < n; ++k) x[k] = region->minArray[k] + region->delta[k] * ints[k];
    return 0;
}

int Double2Int(const gaencodeparam *encode, const variableregion *region, const double *x,
               int *ints, int n) {
    n = clampVariables(n);
    for (int k = 0; k < n; ++k) {
        ints[k] = binary_search(x[k], region->minArray[k], region->delta[k], encode->quantumNumber);
        if (ints[k] == -1) return -1;
    }
    return 0;
}

// Bisection over the grid points min + i * delta (i = 0 .. 2^q - 1), ascending for delta >= 0: the
// index whose point lies within half a step of x. Ends after at most q + 1 halvings, also for a
// NaN x or a zero step.
int binary_search(double x, double min, double delta, int q) {
    if (q < 1 || q > qv::kGaMaxQuantum) {
        log_sys(kMsgQuantum, qv::kGaMaxQuantum);
        return -1;
    }
    int lo = 0;
    int hi = static_cast<int>(std::ldexp(1.0, q)) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const double v = delta * mid + min;
        if (std::fabs(v - x) <= delta * kHalfStep) return mid;
        if (v > x) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    log_sys(kMsgBinarySearch);
    return -1;
}

int GeneToValues(const gaparam *param, const gagene *gene, double *x) {
    const gaencodeparam &enc = param->gaEncodeParam;
    const int n = clampVariables(enc.numVariable);
    int ints[qv::kGaVariableRoom];
    switch (enc.encodeType) {
    case EncodeType::Real:
        for (int k = 0; k < n; ++k) x[k] = gene->gene_r[k];
        return 0;
    case EncodeType::Binary:
        if (BinaryDecode(gene->gene_b, enc.geneLength, enc.quantumNumber, n, ints) != 0) return -1;
        return Int2Double(&param->variableRegion, ints, x, n);
    case EncodeType::Gray:
        if (GrayDecode(gene->gene_b, enc.geneLength, enc.quantumNumber, n, ints) != 0) return -1;
        return Int2Double(&param->variableRegion, ints, x, n);
    default:
        return -1;
    }
}
