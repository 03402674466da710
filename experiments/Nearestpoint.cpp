// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Nearestpoint.h"

namespace {
// First index whose x is not below value (count when there is none).
int LowerBound(int count, const std::function<double(int)>& x, double value) {
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (x(mid) < value)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}
}  // namespace

int NearestPointIndex(int count, const std::function<double(int)>& x, double value) {
    if (count <= 0) return -1;
    const int right = LowerBound(count, x, value);  // first of its equal run already
    if (right == 0) return 0;
    // The left neighbour may repeat an earlier X: the first of that run wins a tie.
    const int left = LowerBound(right, x, x(right - 1));
    if (right == count) return left;
    const double dl = x(left) - value, dr = x(right) - value;
    return dl * dl <= dr * dr ? left : right;
}
