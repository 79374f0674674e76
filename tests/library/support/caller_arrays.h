#pragma once

// The six result arrays a caller of the finite-difference exports owns:
// 50001 entries each (indices 0..50000) plus one guard entry, all filled
// with a sentinel so that any write, and a write past index 50000, shows.

#include <cstddef>
#include <vector>

namespace tarvic_test {

constexpr double kSentinel = -12345.0;

enum ArrayIndex { kGrid, kValue, kDelta, kGamma, kTheta, kVega };

struct CallerArrays {
    std::vector<double> a[6];
    CallerArrays()
    {
        for (auto& v : a)
            v.assign(50002, kSentinel);
    }
    double* p(int k) { return a[k].data(); }
    // True when entries from..50001 of array k still hold the sentinel.
    bool untouched(int k, long from = 0) const
    {
        for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < a[k].size(); ++i)
            if (a[k][i] != kSentinel)
                return false;
        return true;
    }
};

}  // namespace tarvic_test
