// The envelope kept for a picture of a long series: bounded in size, in input order, and every
// extreme of the series still among the points.
#include <gtest/gtest.h>

#include <cmath>

#include "quorvant/results/decimate.h"

namespace {

using qv::results::EnvelopeDecimator;

TEST(EnvelopeDecimator, KeepsEveryPeakOfALongSeriesInBoundedPoints) {
    struct Case {
        size_t buckets, n;
        size_t spike_at;   // one sample far above the rest
    };
    for (const Case c : {Case{8, 5, 2}, Case{8, 8, 7}, Case{100, 1000003, 500001}, Case{2000, 5000000, 17}, Case{7, 99, 98}}) {
        SCOPED_TRACE(c.n);
        EnvelopeDecimator d(c.buckets);
        double lowest = INFINITY;
        size_t lowest_at = 0;
        for (size_t i = 0; i < c.n; ++i) {
            const double y = i == c.spike_at ? 100.0 : std::sin(0.001 * double(i));
            if (y < lowest) lowest = y, lowest_at = i;
            d.add(double(i), y);
        }
        d.add(0.5, NAN);   // not plotted
        const auto pts = d.points();
        EXPECT_EQ(d.seen(), c.n);
        const size_t bound = 2 * (c.buckets + c.buckets % 2);
        EXPECT_LE(pts.size(), bound);
        if (c.n <= c.buckets) {
            EXPECT_EQ(pts.size(), c.n);   // a short series is drawn whole
        }
        bool spike = false, low = false;
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i > 0) {
                EXPECT_LT(pts[i - 1].x, pts[i].x);
            }
            spike |= pts[i].x == double(c.spike_at) && pts[i].y == 100.0;
            low |= pts[i].x == double(lowest_at) && pts[i].y == lowest;
        }
        EXPECT_TRUE(spike);
        EXPECT_TRUE(low);
    }
}

}  // namespace
