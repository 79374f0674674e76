#pragma once

// The frame of the Asian finite-difference export: report the node count,
// refuse grids beyond the caller's arrays, price, copy the curve (one node
// further while it still bends, never past the arrays), and obtain theta and
// vega by re-pricing with a bumped expiry and volatility.

#include <cstdint>
#include <vector>

#include "pde/dorn_tech_asian_option.h"
#include "pde/fd_frame.h"

namespace tarvic {

// The index of the last node to report, from n: while the node n still
// bends (|delta| > 1e-6, gamma >= 0, |gamma / delta| > 1e-5) and lies in the
// lower half of the solved grid, n grows by one; never beyond maxIndex or
// the last solved node.
int32_t reportedLastIndex(const std::vector<double>& grid, const std::vector<double>& delta,
                          const std::vector<double>& gamma, int32_t n, int32_t maxIndex);

// Runs the frame on a built option. Writes the last node index through
// lastIndexOut first; when it exceeds TV_MAX_NODE_INDEX nothing is priced,
// the reported grid is not built and no array is touched. The re-pricings
// with a bumped expiry and volatility run on the planes of the first.
void runAsianFrame(DornTechAsianOption& option, const NodeArrays& out, int32_t* lastIndexOut,
                   bool calcTheta, bool calcVega);

}  // namespace tarvic
