// The error of a solution against a saved reference solution, without a
// window.
#include "pricer/reference_error.h"

#include "platform/runtime_error.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tarvic;

namespace {

// A reference on 0, 10, ..., 150 of v(x) = x^2 / 100, held in vectors of
// exactly its size (a read past them is a sanitizer error).
ReferenceSolution coarseReference()
{
    ReferenceSolution r;
    for (int k = 0; k <= 15; ++k) {
        const double x = 10.0 * k;
        r.asset.push_back(x);
        r.value.push_back(x * x / 100.0);
    }
    r.asset.shrink_to_fit();
    r.value.shrink_to_fit();
    return r;
}

// The cubic through four reference nodes is exact for the quadratic; the
// line through two lies above it by (x - a)(b - x) / 100 between a and b.
TEST(ReferenceError, FourPointsInsideLinesNearTheEndsAndAStopAtTheReferenceTop)
{
    const ReferenceSolution ref = coarseReference();
    // The solution: 0, 2, ..., 200, one above the reference's function.
    std::vector<double> asset, value;
    for (int i = 0; i <= 100; ++i) {
        asset.push_back(2.0 * i);
        value.push_back(asset.back() * asset.back() / 100.0 + 1.0);
    }
    const std::vector<double> err = referenceError(asset.data(), value.data(), 100, ref);
    // Nodes up to 150, the reference's last, and none above it.
    ASSERT_EQ(err.size(), 76u);
    for (size_t i = 0; i < err.size(); ++i) {
        const double x = asset[i];
        // The reference interval below x (the first one at its nodes).
        int j = static_cast<int>(x / 10.0);
        if (x == 10.0 * j && j > 0)
            --j;
        const double a = 10.0 * j, b = a + 10.0;
        const bool linear = j < 2 || j > 15 - 2;
        const double expected = 1.0 - (linear ? (x - a) * (b - x) / 100.0 : 0.0);
        EXPECT_NEAR(err[i], expected, 1e-12) << "x = " << x;
    }
}

TEST(ReferenceError, NothingToCompareWith)
{
    const double asset[3] = {200.0, 210.0, 220.0};
    const double value[3] = {1.0, 2.0, 3.0};
    // No reference, and a solution that starts above the reference.
    EXPECT_TRUE(referenceError(asset, value, 2, ReferenceSolution{}).empty());
    EXPECT_TRUE(referenceError(asset, value, 2, coarseReference()).empty());
    // A reference of two equal levels is no interval.
    ReferenceSolution flat;
    flat.asset = {200.0, 200.0, 200.0};
    flat.value = {1.0, 1.0, 1.0};
    EXPECT_THROW(referenceError(asset, value, 0, flat), RuntimeError);
}

}  // namespace
