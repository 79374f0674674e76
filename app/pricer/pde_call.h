// The library call of a finite-difference run, apart from the window: it
// runs on a worker thread and touches nothing but the request it is given
// and the scratch arrays it writes.
#pragma once

#include "pricer/pde_input_checks.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace tarvic {

// The six arrays the library writes (asset grid, value, delta, gamma,
// theta, vega), 50001 doubles each. The window's own arrays change only when
// a run succeeds.
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

struct PdeCallResult {
    QString text;          // the library's text: empty on success
    int32_t lastNode = 0;  // the last node index it wrote back
};

// One call of the export that prices the request's payoff; a spot above the
// top of an automatic grid (widenToSpot) is priced again on a grid that
// reaches twice the spot. Raises the binding's errors (a missing library or
// export) and the out-of-memory error of a missing text.
PdeCallResult callPdeLibrary(const PdeRequest& request, ResultArrays& arrays);

}  // namespace tarvic
