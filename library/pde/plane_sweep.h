#pragma once

// One parallel loop over independent pieces of work (the average planes of
// one fixing period), run on all threads when asked, on the caller's thread
// otherwise. The first exception is kept, the remaining iterations are
// skipped, and it is rethrown after the region on the caller's thread.

#include <cstdint>

#include "montecarlo/parallel_errors.h"

namespace tarvic {

template <class Body>
void forEachPlane(int32_t count, bool parallel, Body&& body)
{
    ParallelErrors errors;
#pragma omp parallel for schedule(static) if (parallel)
    for (int32_t j = 0; j < count; ++j) {
        if (errors.failed())
            continue;
        try {
            body(j);
        } catch (...) {
            errors.capture();
        }
    }
    errors.rethrow();
}

}  // namespace tarvic
