// The envelope decimator: a series of any length reduced to a bounded number of points for a picture.
#ifndef QUORVANT_RESULTS_DECIMATE_H
#define QUORVANT_RESULTS_DECIMATE_H

#include <cstddef>
#include <vector>

namespace qv::results {

// The points go into buckets of consecutive points; each bucket keeps its lowest and its highest
// point, so a peak or a spike that lasts one sample still shows. When the buckets run out, neighbours
// are merged in pairs and each bucket takes twice as many points from then on.
class EnvelopeDecimator {
public:
    // At most 2 * max_buckets points come out (max_buckets is raised to an even number >= 2).
    explicit EnvelopeDecimator(size_t max_buckets);

    // Points that are not finite (a failed simulation's nan) are not plotted.
    void add(double x, double y);

    struct Point {
        double x, y;
    };
    // The kept points in the order they came; a bucket of one point gives one point.
    std::vector<Point> points() const;
    size_t seen() const { return seen_; }

private:
    struct Bucket {
        Point low, high;
        size_t low_at, high_at;   // positions in the input, to keep the two in input order
        size_t count;
    };
    void merge_pairs();

    size_t max_buckets_;
    size_t per_bucket_ = 1;
    size_t seen_ = 0;
    std::vector<Bucket> buckets_;
};

}  // namespace qv::results

#endif
