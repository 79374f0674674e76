#pragma once

// An exception must not leave an OpenMP parallel region (the runtime would
// call std::terminate). Each region catches inside, records the first
// exception here, lets the other iterations skip their work, and rethrows on
// the calling thread once the region has ended.

#include <atomic>
#include <exception>

namespace tarvic {

class ParallelErrors {
public:
    // Records the exception in flight; call from a catch block.
    void capture() noexcept
    {
        bool expected = false;
        if (taken_.compare_exchange_strong(expected, true))
            first_ = std::current_exception();
    }

    // True once any iteration has failed: the others may stop early.
    bool failed() const noexcept { return taken_.load(std::memory_order_relaxed); }

    // After the region: throws the first recorded exception, if any.
    void rethrow()
    {
        if (taken_.load() && first_)
            std::rethrow_exception(first_);
    }

private:
    std::atomic<bool> taken_{false};
    std::exception_ptr first_;
};

}  // namespace tarvic
