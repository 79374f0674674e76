// The numerical error of a finite-difference solution against a reference
// solution saved from another (finer) run of the same contract.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvic {

// A solution saved as the reference: the asset level and the value of each
// node of its run, in rising order of the asset.
struct ReferenceSolution {
    std::vector<double> asset;
    std::vector<double> value;
    // Whether a solution is saved (a grid has at least three nodes).
    bool stored() const { return asset.size() > 2 && asset.size() == value.size(); }
    void drop()
    {
        asset.clear();
        value.clear();
    }
};

// At each node i = 0..lastIndex of the solution (asset[i], value[i]), the
// value less the reference's at that asset level: the polynomial through
// the four reference nodes around it, or the line through the two around
// it within two nodes of the reference's ends (and below its first node).
// The curve stops at the last node the reference reaches: nodes above the
// reference's last node are left out, so the result may be shorter than
// lastIndex + 1 (empty when the solution starts above the reference).
// Raises division by zero for a reference with two equal asset levels.
std::vector<double> referenceError(const double* asset, const double* value, int32_t lastIndex,
                                   const ReferenceSolution& reference);

}  // namespace tarvic
