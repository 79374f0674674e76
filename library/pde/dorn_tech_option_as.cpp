#include "pde/dorn_tech_option_as.h"

#include <limits>
#include <utility>

#include "common/require.h"

namespace tarvic {

namespace {

// The base checks a strike that builds a grid; a plane's strike of 0 is set
// after construction and checked when the plane is solved.
double constructionStrike(double strike) { return strike == 0.0 ? 1.0 : strike; }

}  // namespace

DornTechOptionAS::DornTechOptionAS(double strike_, int32_t timeSteps_, double expiry_,
                                   double volatility_, double intRate_, double divYield_,
                                   int32_t assetSteps_, int32_t optionType_,
                                   int32_t exerciseStyle, int32_t discretization_,
                                   int32_t amerSolver_, double maxAsset_, bool nonUniformGrid_,
                                   bool finalQuarterSteps_)
    : DornTechOption(constructionStrike(strike_), timeSteps_, expiry_, volatility_, intRate_,
                     divYield_, assetSteps_, optionType_, exerciseStyle & 0xFF, discretization_,
                     amerSolver_, maxAsset_, nonUniformGrid_, 0, Linear, finalQuarterSteps_)
{
    strike = strike_;
}

DornTechOptionAS::~DornTechOptionAS() = default;

void DornTechOptionAS::setGridAndValues(std::vector<double> startValues,
                                        const std::vector<double>& newGrid)
{
    if (!newGrid.empty()) {
        if (newGrid.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            fail("Cannot create grid: the plane grid has too many nodes.");
        grid = newGrid;
        nodeCount = static_cast<int32_t>(grid.size());
        dx = grid.size() > 1 ? grid[1] - grid[0] : 0.0;
        gridBuilt = true;
    } else {
        gridBuilt = false;
        nodeCount = 0;
        buildGrid();
    }
    if (startValues.size() == static_cast<size_t>(nodeCount) && !grid.empty()) {
        values = std::move(startValues);
        payoffReady = true;
    } else {
        payoffReady = false;
    }
}

}  // namespace tarvic
