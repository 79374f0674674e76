#pragma once

// The running estimates that every Monte Carlo engine hands back: five series,
// value, delta, gamma, vega per volatility point and theta per calendar day.
// Entry i of a series is the estimate after the first i+1 checkpoints (equal
// groups of paths). The value series is always filled; the four sensitivity
// series only when the engine was asked for its own estimators, and they stay
// empty otherwise.

#include <array>
#include <cstddef>
#include <vector>

namespace tarvic {

struct EstimateSeries {
    enum Index : size_t { kValue = 0, kDelta = 1, kGamma = 2, kVega = 3, kTheta = 4 };
    static constexpr size_t kCount = 5;

    std::array<std::vector<double>, kCount> series;

    std::vector<double>& operator[](size_t i) { return series[i]; }
    const std::vector<double>& operator[](size_t i) const { return series[i]; }

    const std::vector<double>& value() const { return series[kValue]; }
    size_t rows() const { return series[kValue].size(); }

    // Empties the five series (what an engine finds before it runs).
    void clear()
    {
        for (auto& s : series)
            s.clear();
    }
};

}  // namespace tarvic
