#include <cmath>

#include "quorvant/results_decimate.h"

namespace quorvant::results {

// Buckets are allocated as points come: many short series cost only what they hold.
EnvelopeDecimator::EnvelopeDecimator(size_t maxBuckets) : maxBuckets_(maxBuckets < 2 ? 2 : maxBuckets + maxBuckets % 2) {}

void EnvelopeDecimator::add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    const size_t at = seen_++;
    if (!buckets_.empty() && buckets_.back().count < perBucket_) {
        Bucket &b = buckets_.back();
        if (y < b.low.y) b.low = {x, y}, b.lowAt = at;
        if (y >= b.high.y) b.high = {x, y}, b.highAt = at;
        ++b.count;
        return;
    }
    if (buckets_.size() == maxBuckets_) mergePairs();
    buckets_.push_back({{x, y}, {x, y}, at, at, 1});
}

void EnvelopeDecimator::mergePairs() {
    size_t out = 0;
    for (size_t i = 0; i + 1 < buckets_.size(); i += 2) {
        Bucket m = buckets_[i];
        const Bucket &n = buckets_[i + 1];
        if (n.low.y < m.low.y) m.low = n.low, m.lowAt = n.lowAt;
        if (n.high.y >= m.high.y) m.high = n.high, m.highAt = n.highAt;
        m.count += n.count;
        buckets_[out++] = m;
    }
    buckets_.resize(out);
    perBucket_ *= 2;
}

std::vector<EnvelopeDecimator::Point> EnvelopeDecimator::points() const {
    std::vector<Point> out;
    out.reserve(2 * buckets_.size());
    for (const Bucket &b : buckets_) {
        if (b.lowAt == b.highAt) {
            out.push_back(b.low);
        } else if (b.lowAt < b.highAt) {
            out.push_back(b.low);
            out.push_back(b.high);
        } else {
            out.push_back(b.high);
            out.push_back(b.low);
        }
    }
    return out;
}

}  // namespace quorvant::results
