// Two local searches, both on the variables that are free (not held at a bound by the gradient):
// - Levenberg-Marquardt on the residuals where the likelihood is a sum of squares (normal noise, no
//   priors). The noise parameters enter as the residuals sqrt(2 (ln sigma + C)), whose squares add
//   up to the sum of the ln sigma terms (C a constant that keeps them real), so that minimising the
//   sum of squares maximises the likelihood.
// - Otherwise BFGS with a backtracking line search along the projected direction; the inverse
//   Hessian approximation is reset when it stops giving a direction of descent.
// Gradients and Jacobians from the forward sensitivities, or by finite differences. Both minimise
// -objective.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "quorvant/petab_sim/local_refinement.h"
#include "quorvant/petab_sim/objective_gradient.h"

namespace qv::petab_sim {

namespace {

// ---- Constants of the search ----------------------------------------------------------------------
constexpr double kArmijo = 1.0e-4;        // sufficient decrease along the step
constexpr double kBacktrack = 0.5;        // step shrink factor of the line search
constexpr int kMaxBacktracks = 40;
constexpr double kFirstStepMax = 1.0;     // longest first step on the scaled values (one decade on log10)
constexpr int kStallLimit = 2;            // iterations in a row with too small a gain end the search
constexpr double kCurvatureMin = 1.0e-12; // s·y below this skips the update
constexpr double kSigmaShift = 50.0;      // C of the noise residuals: ln sigma > -50 for every sigma used
constexpr double kLambdaStart = 1.0e-3;   // Levenberg-Marquardt damping: start, change, limits
constexpr double kLambdaDown = 3.0;
constexpr double kLambdaUp = 4.0;
constexpr double kLambdaMin = 1.0e-12;
constexpr double kLambdaMax = 1.0e10;

bool past_deadline(const RefinementSettings &s) {
    return s.deadline != std::chrono::steady_clock::time_point::max() && std::chrono::steady_clock::now() >= s.deadline;
}

class Search {
public:
    Search(const Problem &pb, const RefinementSettings &s, Workspace &w, GradientWork &g)
        : pb_(pb), s_(s), w_(w), g_(g), n_(static_cast<size_t>(pb.n_theta)), lo_(n_), hi_(n_) {
        for (size_t i = 0; i < n_; ++i) {
            lo_[i] = pb.theta[i].lower;
            hi_[i] = pb.theta[i].upper;
        }
    }

    RefinementResult run(std::vector<double> x) {
        RefinementResult r;
        for (size_t i = 0; i < n_; ++i) x[i] = std::clamp(x[i], lo_[i], hi_[i]);
        std::vector<double> g(n_), g_new(n_), d(n_), x_new(n_), s(n_), y(n_), Hy(n_);
        std::vector<double> H(n_ * n_, 0.0);
        reset(H);
        bool fresh = true;
        // The start's value comes with its gradient from the sensitivities.
        double phi = s_.sensitivities ? gradient(x, 0.0, g) : value(x);
        if (!s_.sensitivities) gradient(x, phi, g);
        r.start_objective = -phi;
        int stalls = 0;
        while (std::isfinite(phi) && evaluations_ < s_.max_evaluations && !past_deadline(s_)) {
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
        r.gradients = gradients_;
        return r;
    }

private:
    const Problem &pb_;
    const RefinementSettings &s_;
    Workspace &w_;
    GradientWork &g_;
    size_t n_;
    std::vector<double> lo_, hi_;
    int evaluations_ = 0;
    int gradients_ = 0;

    double value(const std::vector<double> &x) {
        ++evaluations_;
        const ObjectiveValue v = evaluate(pb_, x.data(), w_);
        const double f = v.llh + v.log_prior;
        return std::isfinite(f) ? -f : std::numeric_limits<double>::infinity();
    }

    // From the sensitivities, returning -objective at x; or central differences, one-sided at a
    // bound, from phi = -objective at x (returned).
    double gradient(const std::vector<double> &x, double phi, std::vector<double> &g) {
        if (s_.sensitivities) {
            ++evaluations_;
            ++gradients_;
            const ObjectiveValue v = evaluate_gradient(pb_, x.data(), w_, g_, g.data());
            for (double &d : g) d = std::isfinite(v.llh) ? -d : 0.0;
            const double f = v.llh + v.log_prior;
            return std::isfinite(f) ? -f : std::numeric_limits<double>::infinity();
        }
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
        return phi;
    }

    void reset(std::vector<double> &H, double scale = 1.0) {
        std::fill(H.begin(), H.end(), 0.0);
        for (size_t i = 0; i < n_; ++i) H[i * n_ + i] = scale;
    }
};


double transformed(qv::petab_runtime::Transform t, double v) {
    switch (t) {
    case qv::petab_runtime::Transform::Log: return std::log(v);
    case qv::petab_runtime::Transform::Log10: return std::log10(v);
    case qv::petab_runtime::Transform::Lin: break;
    }
    return v;
}

// Solves the symmetric positive definite system A x = b (n×n, row-major) in place by Cholesky;
// false when A is not positive definite.
bool cholesky_solve(std::vector<double> &A, std::vector<double> &b, size_t n) {
    for (size_t j = 0; j < n; ++j) {
        double d = A[j * n + j];
        for (size_t k = 0; k < j; ++k) d -= A[j * n + k] * A[j * n + k];
        if (!(d > 0)) return false;
        d = std::sqrt(d);
        A[j * n + j] = d;
        for (size_t i = j + 1; i < n; ++i) {
            double v = A[i * n + j];
            for (size_t k = 0; k < j; ++k) v -= A[i * n + k] * A[j * n + k];
            A[i * n + j] = v / d;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k < i; ++k) b[i] -= A[i * n + k] * b[k];
        b[i] /= A[i * n + i];
    }
    for (size_t i = n; i-- > 0;) {
        for (size_t k = i + 1; k < n; ++k) b[i] -= A[k * n + i] * b[k];
        b[i] /= A[i * n + i];
    }
    return true;
}

class LeastSquares {
public:
    LeastSquares(const Problem &pb, const RefinementSettings &s, Workspace &w, GradientWork &g)
        : pb_(pb), s_(s), w_(w), g_(g), n_(static_cast<size_t>(pb.n_theta)), m_(2 * static_cast<size_t>(pb.n_data)), lo_(n_), hi_(n_) {
        for (size_t i = 0; i < n_; ++i) {
            lo_[i] = pb.theta[i].lower;
            hi_[i] = pb.theta[i].upper;
        }
    }

    static bool applies(const Problem &pb) {
        for (int k = 0; k < pb.n_theta; ++k)
            if (pb.theta[k].has_prior) return false;
        for (int d = 0; d < pb.n_data; ++d)
            if (pb.data[d].noise != qv::petab_runtime::Noise::Normal) return false;
        return pb.n_data > 0;
    }

    RefinementResult run(std::vector<double> x) {
        RefinementResult r;
        for (size_t i = 0; i < n_; ++i) x[i] = std::clamp(x[i], lo_[i], hi_[i]);
        std::vector<double> res(m_), res_new(m_), J(m_ * n_), g(n_), A, b, x_new(n_), xp;
        // With the sensitivities, the start's residuals come with its Jacobian.
        double cost = s_.sensitivities ? jacobian(x, J, res) : residuals(x, res);
        ObjectiveValue at_x = last_;
        r.start_objective = std::isfinite(cost) ? at_x.llh + at_x.log_prior : -std::numeric_limits<double>::infinity();
        double lambda = kLambdaStart;
        int stalls = 0;
        while (std::isfinite(cost) && evaluations_ < s_.max_evaluations && !past_deadline(s_)) {
            // 1. The Jacobian from the sensitivities, or by forward differences (backward at an
            // upper bound).
            xp = x;
            if (s_.sensitivities) {
                if (r.iterations > 0) jacobian(x, J, res_new);
            } else {
                for (size_t j = 0; j < n_; ++j) {
                    double h = s_.step * 10.0 * (1.0 + std::fabs(x[j]));
                    if (x[j] + h > hi_[j]) h = -h;
                    xp[j] = x[j] + h;
                    const double c = residuals(xp, res_new);
                    xp[j] = x[j];
                    for (size_t i = 0; i < m_; ++i) J[i * n_ + j] = std::isfinite(c) ? (res_new[i] - res[i]) / h : 0.0;
                }
            }
            ++r.iterations;
            for (size_t j = 0; j < n_; ++j) {
                g[j] = 0.0;
                for (size_t i = 0; i < m_; ++i) g[j] += J[i * n_ + j] * res[i];
            }
            std::vector<size_t> free;
            for (size_t j = 0; j < n_; ++j)
                if (!((x[j] <= lo_[j] && g[j] > 0) || (x[j] >= hi_[j] && g[j] < 0))) free.push_back(j);
            if (free.empty()) break;
            const size_t f = free.size();
            std::vector<double> JtJ(f * f, 0.0);
            for (size_t a = 0; a < f; ++a)
                for (size_t c = a; c < f; ++c) {
                    double v = 0.0;
                    for (size_t i = 0; i < m_; ++i) v += J[i * n_ + free[a]] * J[i * n_ + free[c]];
                    JtJ[a * f + c] = JtJ[c * f + a] = v;
                }
            // 2. Damped steps until one lowers the cost.
            bool accepted = false;
            double cost_new = cost;
            while (lambda <= kLambdaMax && evaluations_ < s_.max_evaluations) {
                A = JtJ;
                b.assign(f, 0.0);
                for (size_t a = 0; a < f; ++a) {
                    A[a * f + a] += lambda * std::max(JtJ[a * f + a], 1e-12);
                    b[a] = -g[free[a]];
                }
                if (!cholesky_solve(A, b, f)) {
                    lambda *= kLambdaUp;
                    continue;
                }
                x_new = x;
                for (size_t a = 0; a < f; ++a) x_new[free[a]] = std::clamp(x[free[a]] + b[a], lo_[free[a]], hi_[free[a]]);
                cost_new = residuals(x_new, res_new);
                if (std::isfinite(cost_new) && cost_new < cost) {
                    accepted = true;
                    at_x = last_;
                    lambda = std::max(lambda / kLambdaDown, kLambdaMin);
                    break;
                }
                lambda *= kLambdaUp;
            }
            if (!accepted) break;
            const double gain = cost - cost_new;
            x = x_new;
            res = res_new;
            cost = cost_new;
            stalls = gain < s_.tolerance * (1.0 + std::fabs(cost)) ? stalls + 1 : 0;
            if (stalls >= kStallLimit) break;
        }
        r.x = x;
        r.objective = std::isfinite(cost) ? at_x.llh + at_x.log_prior : -std::numeric_limits<double>::infinity();
        r.evaluations = evaluations_;
        r.gradients = gradients_;
        return r;
    }

private:
    const Problem &pb_;
    const RefinementSettings &s_;
    Workspace &w_;
    GradientWork &g_;
    size_t n_, m_;
    std::vector<double> lo_, hi_;
    int evaluations_ = 0;
    int gradients_ = 0;
    std::vector<double> grad_;
    ObjectiveValue last_;   // of the last evaluation

    // The residuals' Jacobian at x from the measurements' derivatives (zero where they fail), and
    // the residuals at x in r with their cost, as residuals() gives them.
    double jacobian(const std::vector<double> &x, std::vector<double> &J, std::vector<double> &r) {
        ++evaluations_;
        ++gradients_;
        grad_.resize(n_);
        last_ = evaluate_gradient(pb_, x.data(), w_, g_, grad_.data());
        std::fill(J.begin(), J.end(), 0.0);
        if (last_.failed > 0 || !std::isfinite(last_.llh)) return std::numeric_limits<double>::infinity();
        const size_t nd = static_cast<size_t>(pb_.n_data);
        for (size_t d = 0; d < nd; ++d) {
            const Datum &m = pb_.data[d];
            const double sim = w_.simulated[d], sigma = w_.sigma[d];
            const double e = (transformed(m.transform, m.value) - transformed(m.transform, sim)) / sigma;
            double dh = 1.0;   // d h(sim) / d sim
            if (m.transform == qv::petab_runtime::Transform::Log) dh = 1.0 / sim;
            if (m.transform == qv::petab_runtime::Transform::Log10) dh = 1.0 / (sim * std::numbers::ln10);
            const double q = std::sqrt(2.0 * (std::log(sigma) + kSigmaShift));
            const double *dsim = g_.dsim.data() + d * n_, *dsig = g_.dsig.data() + d * n_;
            for (size_t j = 0; j < n_; ++j) {
                J[d * n_ + j] = -(dh * dsim[j]) / sigma - e / sigma * dsig[j];
                J[(nd + d) * n_ + j] = q > 0 ? dsig[j] / (sigma * q) : 0.0;
            }
        }
        return workspace_residuals(r);
    }

    // Half the sum of squares (-llh up to a constant), the residuals in r; inf when the
    // simulation fails.
    double residuals(const std::vector<double> &x, std::vector<double> &r) {
        ++evaluations_;
        last_ = evaluate(pb_, x.data(), w_);
        if (last_.failed > 0 || !std::isfinite(last_.llh)) return std::numeric_limits<double>::infinity();
        return workspace_residuals(r);
    }

    // The residuals of the simulated values and noise in the workspace, and their cost.
    double workspace_residuals(std::vector<double> &r) {
        const size_t nd = static_cast<size_t>(pb_.n_data);
        double cost = 0.0;
        for (size_t d = 0; d < nd; ++d) {
            const Datum &m = pb_.data[d];
            const double sigma = w_.sigma[d];
            const double e = (transformed(m.transform, m.value) - transformed(m.transform, w_.simulated[d])) / sigma;
            const double q = 2.0 * (std::log(sigma) + kSigmaShift);
            if (!std::isfinite(e) || !(q >= 0)) return std::numeric_limits<double>::infinity();
            r[d] = e;
            r[nd + d] = std::sqrt(q);
            cost += 0.5 * (e * e + q);
        }
        return cost;
    }
};

}  // namespace

RefinementResult refine(const Problem &pb, const std::vector<double> &x0, const RefinementSettings &s, Workspace &w,
                        GradientWork &g) {
    if (s.sensitivities) prepare_gradient(pb, g);
    if (s.method != RefinementMethod::Bfgs && LeastSquares::applies(pb)) return LeastSquares(pb, s, w, g).run(x0);
    return Search(pb, s, w, g).run(x0);
}

RefinementResult refine(const Problem &pb, const std::vector<double> &x0, const RefinementSettings &s, Workspace &w) {
    GradientWork g;
    return refine(pb, x0, s, w, g);
}

}  // namespace qv::petab_sim
