#pragma once

// A machine busy elsewhere, for the benchmarks' busy variants: two threads
// of the benchmark's own that spin, not pinned to any core, for as long as
// the object lives (a compile, a browser tab, another program's loop).

#include <atomic>
#include <thread>
#include <vector>

namespace bench {

class SpinningThreads {
public:
    explicit SpinningThreads(bool on, int count = 2)
    {
        if (!on)
            return;
        for (int k = 0; k < count; ++k)
            threads_.emplace_back([this] {
                volatile unsigned long long spins = 0;
                while (!stop_.load(std::memory_order_relaxed))
                    spins = spins + 1;
            });
    }
    ~SpinningThreads()
    {
        stop_.store(true);
        for (std::thread& t : threads_)
            t.join();
    }
    SpinningThreads(const SpinningThreads&) = delete;
    SpinningThreads& operator=(const SpinningThreads&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

}  // namespace bench
