// The library call of a finite-difference run, apart from the window: it
// runs on a worker thread and touches nothing but the request it is given
// and the scratch arrays it writes.
#pragma once

#include "pricer/pde_input_checks.h"
#include "pricer/result_arrays.h"

#include <QString>

#include <cstdint>

namespace tarvic {

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
