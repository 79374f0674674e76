#pragma once

// One parallel loop over independent pieces of work (the average planes of
// a fixing period, the generator slots of a pseudo-random engine, the blocks
// of Sobol points), run on `threads` threads, the caller's among them; on
// the caller's thread alone when threads is 1. The first exception is kept,
// the remaining pieces are skipped, and it is rethrown after the loop on
// the caller's thread.
//
// The body is body(piece) or body(piece, worker): worker is the index
// 0 .. threads-1 of the thread that runs the piece, for working memory kept
// per thread. Which thread runs which piece is not fixed, so a piece's
// result must depend on the piece alone.

#include <omp.h>

#include <cstdint>
#include <type_traits>

#include "common/parallel_errors.h"

namespace tarvic {

template <class Body>
void forEachPlane(int64_t count, int threads, Body&& body)
{
    ParallelErrors errors;
    const bool parallel = threads > 1 && count > 1;
#pragma omp parallel for schedule(static) num_threads(threads > 1 ? threads : 1) if (parallel)
    for (int64_t j = 0; j < count; ++j) {
        if (errors.failed())
            continue;
        try {
            if constexpr (std::is_invocable_v<Body&, int64_t, int>)
                body(j, parallel ? omp_get_thread_num() : 0);
            else
                body(j);
        } catch (...) {
            errors.capture();
        }
    }
    errors.rethrow();
}

// The threads a loop of `pieces` pieces runs on: 1 unless parallel, else
// the caller's thread count (omp_get_max_threads), at most one per piece.
inline int parallelThreads(int64_t pieces, bool parallel)
{
    if (!parallel || pieces <= 1)
        return 1;
    const int threads = omp_get_max_threads();
    return pieces < threads ? static_cast<int>(pieces) : (threads > 1 ? threads : 1);
}

}  // namespace tarvic
