#include <cmath>
#include <cstddef>
#include <vector>

#include "quorvant/results/decimate.h"

namespace qv::results {

// Buckets are allocated as points come: many short series cost only what they hold.
EnvelopeDecimator::EnvelopeDecimator(size_t max_buckets) : max_buckets_(max_buckets < 2 ? 2 : max_buckets + max_buckets % 2) {}

void EnvelopeDecimator::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    const size_t at = seen_++;
    if (!buckets_.empty() && buckets_.back().count < per_bucket_) {
        Bucket &b = buckets_.back();
        if (y < b.low.y) b.low = {x, y}, b.low_at = at;
        if (y >= b.high.y) b.high = {x, y}, b.high_at = at;
        ++b.count;
        return;
    }
    if (buckets_.size() == max_buckets_) merge_pairs();
    buckets_.push_back({{x, y}, {x, y}, at, at, 1});
}

void EnvelopeDecimator::merge_pairs() {
    size_t out = 0;
    for (size_t i = 0; i + 1 < buckets_.size(); i += 2) {
        Bucket m = buckets_[i];
        const Bucket &n = buckets_[i + 1];
        if (n.low.y < m.low.y) m.low = n.low, m.low_at = n.low_at;
        if (n.high.y >= m.high.y) m.high = n.high, m.high_at = n.high_at;
        m.count += n.count;
        buckets_[out++] = m;
    }
    buckets_.resize(out);
    per_bucket_ *= 2;
}

std::vector<EnvelopeDecimator::Point> EnvelopeDecimator::points() const {
    std::vector<Point> out;
    out.reserve(2 * buckets_.size());
    for (const Bucket &b : buckets_) {
        if (b.low_at == b.high_at) {
            out.push_back(b.low);
        } else if (b.low_at < b.high_at) {
            out.push_back(b.low);
            out.push_back(b.high);
        } else {
            out.push_back(b.high);
            out.push_back(b.low);
        }
    }
    return out;
}

}  // namespace qv::results
