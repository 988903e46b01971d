// Bounded BFGS: the inverse Hessian approximation acts on the variables that are free (not held
// at a bound by the gradient); a backtracking line search along the projected direction; the
// approximation is reset when it stops giving a direction of descent. Minimises -objective.
#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvant/petab_sim/local_refinement.h"

namespace qv::petab_sim {

namespace {

// ---- Constants of the search ----------------------------------------------------------------------
constexpr double kArmijo = 1.0e-4;        // sufficient decrease along the step
constexpr double kBacktrack = 0.5;        // step shrink factor of the line search
constexpr int kMaxBacktracks = 40;
constexpr double kFirstStepMax = 1.0;     // longest first step on the scaled values (one decade on log10)
constexpr int kStallLimit = 2;            // iterations in a row with too small a gain end the search
constexpr double kCurvatureMin = 1.0e-12; // s·y below this skips the update

class Search {
public:
    Search(const Problem &pb, const RefinementSettings &s, Workspace &w)
        : pb_(pb), s_(s), w_(w), n_(static_cast<size_t>(pb.n_theta)), lo_(n_), hi_(n_) {
        for (size_t i = 0; i < n_; ++i) {
            lo_[i] = pb.theta[i].lower;
            hi_[i] = pb.theta[i].upper;
        }
    }

    RefinementResult run(std::vector<double> x) {
        RefinementResult r;
        for (size_t i = 0; i < n_; ++i) x[i] = std::clamp(x[i], lo_[i], hi_[i]);
        double phi = value(x);
        std::vector<double> g(n_), g_new(n_), d(n_), x_new(n_), s(n_), y(n_), Hy(n_);
        std::vector<double> H(n_ * n_, 0.0);
        reset(H);
        bool fresh = true;
        gradient(x, phi, g);
        int stalls = 0;
        while (std::isfinite(phi) && evaluations_ < s_.max_evaluations) {
            ++r.iterations;
            // 1. The direction on the free variables.
            std::vector<bool> free(n_);
            for (size_t i = 0; i < n_; ++i) free[i] = !((x[i] <= lo_[i] && g[i] > 0) || (x[i] >= hi_[i] && g[i] < 0));
            double slope = 0.0;
            for (size_t i = 0; i < n_; ++i) {
                d[i] = 0.0;
                if (!free[i]) continue;
                for (size_t j = 0; j < n_; ++j)
                    if (free[j]) d[i] -= H[i * n_ + j] * g[j];
                slope += d[i] * g[i];
            }
            if (!(slope < 0)) {
                if (fresh) break;   // no descent even along the gradient: a stationary point
                reset(H);
                fresh = true;
                continue;
            }
            double longest = 0.0;
            for (size_t i = 0; i < n_; ++i) longest = std::max(longest, std::fabs(d[i]));
            double t = fresh && longest > kFirstStepMax ? kFirstStepMax / longest : 1.0;
            // 2. Backtracking along the projected path.
            double phi_new = phi;
            bool accepted = false;
            for (int k = 0; k < kMaxBacktracks && evaluations_ < s_.max_evaluations; ++k, t *= kBacktrack) {
                double predicted = 0.0;
                for (size_t i = 0; i < n_; ++i) {
                    x_new[i] = std::clamp(x[i] + t * d[i], lo_[i], hi_[i]);
                    predicted += g[i] * (x_new[i] - x[i]);
                }
                phi_new = value(x_new);
                if (std::isfinite(phi_new) && phi_new <= phi + kArmijo * predicted) {
                    accepted = true;
                    break;
                }
            }
            if (!accepted) {
                if (fresh) break;
                reset(H);
                fresh = true;
                continue;
            }
            // 3. The new point, its gradient, the update.
            const double gain = phi - phi_new;
            gradient(x_new, phi_new, g_new);
            double sy = 0.0;
            for (size_t i = 0; i < n_; ++i) {
                s[i] = x_new[i] - x[i];
                y[i] = g_new[i] - g[i];
                sy += s[i] * y[i];
            }
            if (sy > kCurvatureMin) {
                double yHy = 0.0;
                for (size_t i = 0; i < n_; ++i) {
                    Hy[i] = 0.0;
                    for (size_t j = 0; j < n_; ++j) Hy[i] += H[i * n_ + j] * y[j];
                    yHy += y[i] * Hy[i];
                }
                if (fresh) {
                    // Scale the first approximation to the curvature seen (Nocedal & Wright 6.20).
                    double yy = 0.0;
                    for (double v : y) yy += v * v;
                    reset(H, sy / yy);
                    for (size_t i = 0; i < n_; ++i) Hy[i] = H[i * n_ + i] * y[i];
                    yHy = sy;
                }
                const double rho = 1.0 / sy;
                for (size_t i = 0; i < n_; ++i)
                    for (size_t j = 0; j < n_; ++j)
                        H[i * n_ + j] += (1.0 + rho * yHy) * rho * s[i] * s[j] - rho * (Hy[i] * s[j] + s[i] * Hy[j]);
                fresh = false;
            }
            x = x_new;
            phi = phi_new;
            g = g_new;
            stalls = gain < s_.tolerance * (1.0 + std::fabs(phi)) ? stalls + 1 : 0;
            if (stalls >= kStallLimit) break;
        }
        r.x = x;
        r.objective = -phi;
        r.evaluations = evaluations_;
        return r;
    }

private:
    const Problem &pb_;
    const RefinementSettings &s_;
    Workspace &w_;
    size_t n_;
    std::vector<double> lo_, hi_;
    int evaluations_ = 0;

    double value(const std::vector<double> &x) {
        ++evaluations_;
        const ObjectiveValue v = evaluate(pb_, x.data(), w_);
        const double f = v.llh + v.log_prior;
        return std::isfinite(f) ? -f : std::numeric_limits<double>::infinity();
    }

    // Central differences, one-sided at a bound.
    void gradient(const std::vector<double> &x, double phi, std::vector<double> &g) {
        std::vector<double> xp = x;
        for (size_t i = 0; i < n_; ++i) {
            const double h = s_.step * (1.0 + std::fabs(x[i]));
            const double up = std::min(x[i] + h, hi_[i]), down = std::max(x[i] - h, lo_[i]);
            xp[i] = up;
            const double fu = up > x[i] ? value(xp) : phi;
            xp[i] = down;
            const double fd = down < x[i] ? value(xp) : phi;
            xp[i] = x[i];
            g[i] = up > down && std::isfinite(fu) && std::isfinite(fd) ? (fu - fd) / (up - down) : 0.0;
        }
    }

    void reset(std::vector<double> &H, double scale = 1.0) {
        std::fill(H.begin(), H.end(), 0.0);
        for (size_t i = 0; i < n_; ++i) H[i * n_ + i] = scale;
    }
};

}  // namespace

RefinementResult refine(const Problem &pb, const std::vector<double> &x0, const RefinementSettings &s, Workspace &w) {
    return Search(pb, s, w).run(x0);
}

}  // namespace qv::petab_sim
