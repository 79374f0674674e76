#pragma once

// One parallel loop over independent pieces of work (the average planes of
// a fixing period, the generator slots of a pseudo-random engine, the blocks
// of Sobol points), run on `threads` threads, the caller's among them
// (thread_team.h); on the caller's thread alone when threads is 1. The
// first exception is kept, the remaining pieces are skipped, and it is
// rethrown after the loop on the caller's thread.
//
// The body is body(piece) or body(piece, worker): worker is the index
// 0 .. threads-1 of the thread that runs the piece, for working memory kept
// per thread. Which thread runs which piece is not fixed, so a piece's
// result must depend on the piece alone.

#include <omp.h>

#include <cstdint>
#include <type_traits>

#include "common/parallel_errors.h"
#include "common/thread_team.h"

namespace tarvic {

template <class Body>
void forEachPlane(int64_t count, int threads, Body&& body)
{
    struct Loop {
        Body& body;
        ParallelErrors errors;
    } loop{body, {}};
    team_detail::runPieces(
        count, threads,
        [](void* context, int64_t piece, int worker) noexcept {
            Loop& l = *static_cast<Loop*>(context);
            if (l.errors.failed())
                return;
            try {
                if constexpr (std::is_invocable_v<Body&, int64_t, int>)
                    l.body(piece, worker);
                else
                    l.body(piece);
            } catch (...) {
                l.errors.capture();
            }
        },
        &loop);
    loop.errors.rethrow();
}

// The threads a loop of `pieces` pieces runs on: 1 unless parallel, else
// the thread count the caller chose (omp_set_num_threads, OMP_NUM_THREADS),
// at most one per piece, one per core the process may run on and
// `worthwhile`, the threads the loop's work pays for (a loop too small to
// pay for the hand-over runs on its caller's thread). A call from inside an
// OpenMP parallel region that may not nest runs on its thread alone.
inline int parallelThreads(int64_t pieces, bool parallel, int64_t worthwhile = INT64_MAX)
{
    if (!parallel || pieces <= 1 || worthwhile <= 1)
        return 1;
    if (worthwhile < pieces)
        pieces = worthwhile;
    if (omp_get_active_level() >= omp_get_max_active_levels())
        return 1;
    int64_t threads = omp_get_max_threads();
    const int64_t limit = omp_get_thread_limit();
    if (limit < threads)
        threads = limit;
    const int64_t cores = usableCores();
    if (cores < threads)
        threads = cores;
    if (pieces < threads)
        threads = pieces;
    return threads > 1 ? static_cast<int>(threads) : 1;
}

}  // namespace tarvic
