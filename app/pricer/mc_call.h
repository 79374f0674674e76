// The library call of a Monte Carlo run, apart from the window: it runs on
// a worker thread and touches nothing but the request it is given and the
// scratch arrays it writes.
#pragma once

#include "pricer/mc_input_checks.h"
#include "pricer/result_arrays.h"

#include <QString>

#include <cstdint>

namespace tarvic {

struct McCallResult {
    QString text;          // the library's text: empty on success
    int32_t rowCount = 0;  // the rows it says it wrote (trusted by no one)
};

// One call of VelkOptionPricerMC (vanilla and barrier payoffs) or
// VelkAsianOptionPricerMC (Asian payoffs) into the scratch arrays' columns
// 1 to 5 (value, delta, gamma, theta, vega). Raises the binding's errors (a
// missing library or export) and the out-of-memory error of a missing text.
McCallResult callMcLibrary(const McRequest& request, ResultArrays& arrays);

}  // namespace tarvic
