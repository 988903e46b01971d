// In-place LU factorisation for the NDF solver: the row-major storage is addressed through
// 1-origin row pointers, so the decomposition and the substitutions run on it directly.
#include "ndf_internal.h"

#include "quorvant/log.h"
#include "quorvant/nrlib.h"

namespace qv::ndf {

void DenseLU::resize(int n) {
    const auto nn = static_cast<std::size_t>(n);
    a_.assign(nn * nn + 1, 0.0);
    rows_.assign(nn + 1, nullptr);
    piv_.assign(nn + 1, 0);
    n_ = n;
    // rows_[i][j] with i, j in 1..n is element (i-1, j-1) of data().
    for (int i = 1; i <= n; ++i) rows_[i] = a_.data() + static_cast<std::size_t>(i - 1) * nn;
}

int DenseLU::factor() {
    double d = 0.0;
    const int rc = nr_ludcmp(rows_.data(), n_, piv_.data(), &d);
    if (rc == -2) {
        log_sys("## Singular matrix in mtx_ludecomp()\n");
    } else if (rc != 0) {
        log_sys("ERROR: mtx_ludecomp()\n");
    }
    return rc;
}

void DenseLU::solve1(double *x1) const {
    nr_lubksb(const_cast<double **>(rows_.data()), n_, piv_.data(), x1);
}

}  // namespace qv::ndf
