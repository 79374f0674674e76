#include "pde/asian_frame.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace tarvic {

namespace {

PdeResults priceCurve(DornTechAsianOption& option)
{
    PdeResults c;
    option.price(c.grid, c.value, c.delta, c.gamma, c.theta);
    return c;
}

bool stillBends(double S, double Stop, double delta, double gamma)
{
    return std::fabs(delta) > 1e-6 && gamma >= 0.0 && std::fabs(gamma / delta) > 1e-5 &&
           S / Stop < 0.5;
}

[[noreturn]] void notFinite() { throw std::runtime_error(kNonFiniteSolutionText); }

// Extreme scales (squares of the asset levels beyond the range of doubles,
// steps whose squares vanish) give values or Greeks that are not numbers.
void requireFiniteCurve(const PdeResults& c, int32_t n)
{
    for (int32_t i = 0; i <= n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (!std::isfinite(c.value[k]) || !std::isfinite(c.delta[k]) || !std::isfinite(c.gamma[k]))
            notFinite();
    }
}

// A bumped re-pricing at the reported nodes: it must price at least two
// nodes and give finite values there.
void bumpedValues(const PdeResults& base, const PdeResults& bumped, int32_t n,
                  std::vector<double>& out)
{
    if (std::min(bumped.grid.size(), bumped.value.size()) < 2)
        notFinite();
    bumpedAtBaseNodes(base.grid, n + 1, bumped.grid, bumped.value, out);
    for (double v : out)
        if (!std::isfinite(v))
            notFinite();
}

}  // namespace

int32_t reportedLastIndex(const std::vector<double>& grid, const std::vector<double>& delta,
                          const std::vector<double>& gamma, int32_t n, int32_t maxIndex)
{
    const int32_t solvedLast = static_cast<int32_t>(
        std::min({grid.size(), delta.size(), gamma.size()})) - 1;
    if (solvedLast < 0)
        return n;
    const double Stop = grid[static_cast<std::size_t>(solvedLast)];
    while (n < maxIndex && n < solvedLast) {
        const std::size_t i = static_cast<std::size_t>(n);
        if (!stillBends(grid[i], Stop, delta[i], gamma[i]))
            break;
        ++n;
    }
    return n;
}

void runAsianFrame(DornTechAsianOption& option, const NodeArrays& out, int32_t* lastIndexOut,
                   bool calcTheta, bool calcVega)
{
    option.maxBuiltNodes = TV_MAX_NODE_INDEX + 1;
    int32_t n = option.lastOutputIndex();
    *lastIndexOut = n;
    if (n > TV_MAX_NODE_INDEX || n < 0)
        return;

    const PdeResults base = priceCurve(option);
    const int32_t reference = option.lastOutputIndex();
    *lastIndexOut = reference;
    if (reference > TV_MAX_NODE_INDEX || reference < 0 ||
        base.value.size() <= static_cast<std::size_t>(reference))
        return;
    n = reportedLastIndex(base.grid, base.delta, base.gamma, reference, TV_MAX_NODE_INDEX);
    *lastIndexOut = n;
    requireFiniteCurve(base, n);

    const std::size_t count = static_cast<std::size_t>(n) + 1;
    const auto firstNodes = [count](const std::vector<double>& from) {
        return std::vector<double>(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
    };
    NodeColumns columns{firstNodes(base.grid), firstNodes(base.value), firstNodes(base.delta),
                        firstNodes(base.gamma), std::vector<double>(count, 0.0), {}};

    const double T = option.expiry;
    const double sigma = option.volatility;
    std::vector<double> bumped;

    if (calcTheta) {
        option.expiry = T * 1.00001;
        bumpedValues(base, priceCurve(option), n, bumped);
        const double h = T * 1e-5;
        for (std::size_t k = 0; k < count; ++k)
            columns.theta[k] = (base.value[k] - bumped[k]) / h / 365.0;
    }

    if (calcVega) {
        option.expiry = T;
        option.volatility = sigma + 1e-5;
        bumpedValues(base, priceCurve(option), n, bumped);
        columns.vega.resize(count);
        for (std::size_t k = 0; k < count; ++k)
            columns.vega[k] = (bumped[k] - base.value[k]) / 1e-5 / 100.0;
    }

    writeFiniteNodes(columns, out,
                     std::max({option.strike, option.spotLevel(), option.settledAverage}));
}

}  // namespace tarvic
