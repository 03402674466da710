// SPDX-License-Identifier: GPL-3.0-or-later
// The point of an ascending curve nearest to a time value, found by binary search.
#pragma once

#include <functional>

// Index i in 0..count-1 whose (x(i) - value)^2 is smallest, the lowest index on equal distances;
// -1 for an empty curve. x must be ascending (equal neighbours allowed).
int NearestPointIndex(int count, const std::function<double(int)>& x, double value);
