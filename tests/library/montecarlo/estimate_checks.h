#pragma once

// Checks of running-estimate series against a truth, for the Monte Carlo tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "montecarlo/option_reference.h"

namespace tarvic_test {

// |last estimate - truth| within `sigmas` standard errors of the block
// estimates plus `slack`.
inline void expectWithin(const std::vector<double>& series, double truth, double sigmas, double slack,
                         const std::string& what)
{
    ASSERT_FALSE(series.empty()) << what;
    const double se = blockStandardError(series);
    EXPECT_NEAR(series.back(), truth, sigmas * se + slack) << what << " (standard error " << se << ")";
}

}  // namespace tarvic_test
