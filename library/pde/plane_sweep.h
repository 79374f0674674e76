#pragma once

// One parallel loop over independent pieces of work (the average planes of
// one fixing period), run on all threads when asked, on the caller's thread
// otherwise. An exception must not leave an OpenMP region: the first one is
// kept, the remaining iterations are skipped, and it is rethrown after the
// region on the caller's thread.

#include <atomic>
#include <cstdint>
#include <exception>

namespace tarvic {

template <class Body>
void forEachPlane(int32_t count, bool parallel, Body&& body)
{
    std::exception_ptr first;
    std::atomic<bool> failed{false};
#pragma omp parallel for schedule(static) if (parallel)
    for (int32_t j = 0; j < count; ++j) {
        if (failed.load(std::memory_order_relaxed))
            continue;
        try {
            body(j);
        } catch (...) {
#pragma omp critical(tarvic_plane_failure)
            {
                if (!first)
                    first = std::current_exception();
            }
            failed.store(true, std::memory_order_relaxed);
        }
    }
    if (first)
        std::rethrow_exception(first);
}

}  // namespace tarvic
