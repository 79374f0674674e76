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

// Keeps maxRows entries of every filled series (those as long as the value
// series) when it has at least twice as many: entry i is the old entry
// (i + 1) stride - 1 with stride = rows / maxRows, except that the last entry
// is always the last row.
inline void thinSeries(EstimateSeries& result, size_t maxRows)
{
    const size_t rows = result.rows();
    if (maxRows < 1 || rows / maxRows <= 1)
        return;
    const size_t stride = rows / maxRows;
    for (auto& s : result.series) {
        if (s.size() != rows)
            continue;
        std::vector<double> kept(maxRows);
        for (size_t i = 0; i + 1 < maxRows; ++i)
            kept[i] = s[(i + 1) * stride - 1];
        kept[maxRows - 1] = s[rows - 1];
        s.swap(kept);
    }
}

}  // namespace tarvic
