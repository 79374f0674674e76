// The arrays a library call writes into, apart from the window's own: the
// window's arrays change only when a run succeeds.
#pragma once

#include <cstddef>
#include <vector>

namespace tarvic {

// Six arrays of 50001 doubles each: a finite-difference run writes the asset
// grid, value, delta, gamma, theta and vega into columns 0 to 5; a Monte
// Carlo run its convergence rows (value, delta, gamma, theta, vega) into
// columns 1 to 5.
class ResultArrays {
public:
    static constexpr int kRows = 50001;
    ResultArrays() : m_data(6 * static_cast<size_t>(kRows), 0.0) {}
    // Column 0 grid, 1 value, 2 delta, 3 gamma, 4 theta, 5 vega.
    double* column(int c) { return m_data.data() + static_cast<size_t>(c) * kRows; }
    const double* column(int c) const { return m_data.data() + static_cast<size_t>(c) * kRows; }

private:
    std::vector<double> m_data;
};

}  // namespace tarvic
