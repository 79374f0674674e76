#include "pricer/reference_error.h"

#include "pricer/four_point.h"

#include <algorithm>

namespace tarvic {

std::vector<double> referenceError(const double* asset, const double* value, int32_t lastIndex,
                                   const ReferenceSolution& reference)
{
    std::vector<double> err;
    if (!reference.stored() || lastIndex < 0)
        return err;
    const std::vector<double>& r = reference.asset;
    const std::vector<double>& v = reference.value;
    const size_t M = r.size() - 1;
    err.reserve(static_cast<size_t>(lastIndex) + 1);
    for (int32_t i = 0; i <= lastIndex; ++i) {
        const double x = asset[i];
        // Beyond the reference there is nothing to compare with.
        if (x > r[M])
            break;
        // The reference interval [r(j), r(j+1)] that holds x (the first
        // one below r(0)); j + 1 <= M since x <= r(M).
        size_t j = static_cast<size_t>(std::lower_bound(r.begin(), r.end(), x) - r.begin());
        if (j > 0)
            --j;
        double exact = 0.0;
        if (j < 2 || j + 2 > M) {
            exact = twoPointValue(x, r[j], r[j + 1], v[j], v[j + 1]);
        } else {
            const double xs[4] = {r[j - 1], r[j], r[j + 1], r[j + 2]};
            const double fs[4] = {v[j - 1], v[j], v[j + 1], v[j + 2]};
            exact = fourPointValue(x, xs, fs);
        }
        err.push_back(value[i] - exact);
    }
    return err;
}

}  // namespace tarvic
