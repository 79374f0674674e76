#pragma once

#include <cstdint>

namespace tarvic {

// 1 = finite differences, 2 = Monte Carlo. Set when a pricer window is shown,
// activated or switched; chooses the driver, the settings dialog and the
// titles of error boxes.
extern int32_t gSolverMode;

constexpr int32_t kSolverPde = 1;
constexpr int32_t kSolverMc = 2;

}  // namespace tarvic
