#pragma once

// Brownian bridge construction of a standard Brownian motion W at the times
// 1 .. n (path point m lies at time m+1, unit variance per step). The first
// normal fixes the end point W(n) = sqrt(n) z_0; each further normal fills
// the middle of the leftmost remaining gap, sweeping the gaps left to right
// level by level, so that the first coordinates of a low-discrepancy point
// carry the largest share of the path's variance.
//
// For a gap of unknown points j .. k-1 between the known W(j) (point j-1, or
// W(0) = 0 when j = 0) and W(k+1) (point k), the new point l, at time l+1,
// is the conditional mean plus the conditional standard deviation times z:
//   W(l+1) = (k-l)/(k+1-j) W(j) + (l+1-j)/(k+1-j) W(k+1)
//            + sqrt((l+1-j)(k-l)/(k+1-j)) z.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvic {

class BrownianBridge {
public:
    // Tables for a path of `steps` points; steps must be at least 1.
    explicit BrownianBridge(int32_t steps);

    int32_t steps() const { return steps_; }

    // Writes W at the steps() points into path from steps() normals z.
    // Both arrays are the caller's and hold steps() doubles; nothing is
    // allocated. path and z must not overlap.
    void buildPath(double* path, const double* z) const;

    // The same with a size check of both vectors.
    void buildPath(std::vector<double>& path, const std::vector<double>& z) const;

    // Construction step i fills point bridgeIndex(i) between leftIndex(i)
    // (the first point of its gap) and rightIndex(i) (the known point closing
    // it); step 0 builds the end point.
    uint32_t leftIndex(size_t i) const { return leftIndex_[i]; }
    uint32_t rightIndex(size_t i) const { return rightIndex_[i]; }
    uint32_t bridgeIndex(size_t i) const { return bridgeIndex_[i]; }
    double leftWeight(size_t i) const { return leftWeight_[i]; }
    double rightWeight(size_t i) const { return rightWeight_[i]; }
    double stdDev(size_t i) const { return stdDev_[i]; }

private:
    int32_t steps_ = 0;
    std::vector<uint32_t> leftIndex_;
    std::vector<uint32_t> rightIndex_;
    std::vector<uint32_t> bridgeIndex_;
    std::vector<double> leftWeight_;
    std::vector<double> rightWeight_;
    std::vector<double> stdDev_;
};

}  // namespace tarvic
