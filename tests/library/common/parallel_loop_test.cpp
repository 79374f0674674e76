// The library's parallel loop: every piece once, on no more threads than
// were asked for and than the process may run on, a loop started from
// inside another or from a second caller at the same time, and after fork();
// a failing piece.

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "common/parallel_loop.h"
#include "common/thread_team.h"

namespace {

using tarvic::forEachPlane;
using tarvic::parallelThreads;

// Counts of the pieces run and the distinct workers that ran them.
struct Coverage {
    std::vector<std::atomic<int>> runs;
    std::vector<std::atomic<int>> byWorker;
    explicit Coverage(int64_t pieces, int threads)
        : runs(static_cast<size_t>(pieces)), byWorker(static_cast<size_t>(threads))
    {
    }
    void run(int64_t piece, int worker)
    {
        ++runs[static_cast<size_t>(piece)];
        ++byWorker[static_cast<size_t>(worker)];
    }
    bool everyPieceOnce() const
    {
        for (const std::atomic<int>& r : runs)
            if (r.load() != 1)
                return false;
        return true;
    }
};

// Restores the thread count and the affinity mask of the calling thread.
class SavedSettings {
public:
    SavedSettings() : threads_(omp_get_max_threads()) { sched_getaffinity(0, sizeof(mask_), &mask_); }
    ~SavedSettings()
    {
        sched_setaffinity(0, sizeof(mask_), &mask_);
        omp_set_num_threads(threads_);
    }

private:
    int threads_;
    cpu_set_t mask_;
};

TEST(ParallelLoop, EveryPieceRunsOnceOnAWorkerOfTheLoop)
{
    struct Case {
        int64_t pieces;
        int threads;
    };
    const Case cases[] = {{1, 8}, {3, 8}, {8, 8}, {100, 3}, {1000, 8}, {7, 1}, {0, 4}};
    for (const Case& k : cases) {
        for (int repeat = 0; repeat < 3; ++repeat) {
            Coverage seen(k.pieces, k.threads);
            forEachPlane(k.pieces, k.threads, [&](int64_t p, int worker) {
                ASSERT_GE(worker, 0);
                ASSERT_LT(worker, k.threads);
                seen.run(p, worker);
            });
            EXPECT_TRUE(seen.everyPieceOnce()) << k.pieces << " pieces on " << k.threads << " threads";
        }
    }
}

TEST(ParallelLoop, ThreadsFollowTheCallersCountThePiecesAndTheAffinityMask)
{
    SavedSettings saved;
    omp_set_num_threads(8);
    const int cores = tarvic::usableCores();
    EXPECT_EQ(parallelThreads(100, false), 1);
    EXPECT_EQ(parallelThreads(1, true), 1);
    EXPECT_EQ(parallelThreads(3, true), std::min(3, cores));
    EXPECT_EQ(parallelThreads(100, true), std::min(8, cores));
    EXPECT_EQ(parallelThreads(100, true, 2), std::min(2, cores));
    EXPECT_EQ(parallelThreads(100, true, 0), 1);
    omp_set_num_threads(5);
    EXPECT_EQ(parallelThreads(100, true), std::min(5, cores));

    // The process held to one core: one thread, whatever the count asked for.
    cpu_set_t one;
    CPU_ZERO(&one);
    cpu_set_t all;
    sched_getaffinity(0, sizeof(all), &all);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &all)) {
            CPU_SET(c, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    omp_set_num_threads(8);
    EXPECT_EQ(tarvic::usableCores(), 1);
    EXPECT_EQ(parallelThreads(100, true), 1);
}

TEST(ParallelLoop, ALoopInsideAPieceRunsOnThatPiecesThread)
{
    // The team is taken by the outer loop: the inner loops run on their
    // callers' threads, and nothing waits for itself.
    std::vector<std::atomic<int>> inner(64 * 16);
    forEachPlane(64, 4, [&](int64_t p) {
        forEachPlane(16, 4, [&](int64_t q, int worker) {
            EXPECT_EQ(worker, 0);
            ++inner[static_cast<size_t>(p * 16 + q)];
        });
    });
    for (const std::atomic<int>& r : inner)
        EXPECT_EQ(r.load(), 1);
}

TEST(ParallelLoop, TwoCallersAtOnceEachRunEveryPiece)
{
    std::vector<std::atomic<long>> sums(2);
    auto caller = [&](size_t k) {
        for (int loop = 0; loop < 200; ++loop)
            forEachPlane(50, 4, [&](int64_t p) { sums[k] += p + 1; });
    };
    std::thread a(caller, 0), b(caller, 1);
    a.join();
    b.join();
    EXPECT_EQ(sums[0].load(), 200L * 50 * 51 / 2);
    EXPECT_EQ(sums[1].load(), 200L * 50 * 51 / 2);
}

// An exception cannot leave a team thread: the team takes only pieces that
// promise by their type not to throw.
static_assert(std::is_convertible_v<void (*)(void*, int64_t, int) noexcept, tarvic::team_detail::PieceFunction>);
static_assert(!std::is_convertible_v<void (*)(void*, int64_t, int), tarvic::team_detail::PieceFunction>,
              "a piece that may throw must not reach the team");

TEST(ParallelLoop, APieceThatThrowsOnATeamThreadFailsTheLoopOnTheCallersThread)
{
    // The caller's first piece holds it until a team thread has thrown, so
    // the failure surely comes from a team thread.
    std::atomic<bool> thrown{false};
    auto loop = [&] {
        forEachPlane(64, 4, [&](int64_t, int worker) {
            if (worker != 0) {
                thrown = true;
                throw std::runtime_error("piece failed on a team thread");
            }
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!thrown.load() && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
        });
    };
    try {
        loop();
        ADD_FAILURE() << "the loop ended without the exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "piece failed on a team thread");
    }
    EXPECT_TRUE(thrown.load());

    // The team runs the next loop in full.
    std::atomic<int> after{0};
    forEachPlane(64, 4, [&](int64_t) { ++after; });
    EXPECT_EQ(after.load(), 64);
}

TEST(ParallelLoop, AChildOfForkRunsParallelLoops)
{
    // The parent's team threads do not exist in the child: the child must
    // start its own rather than wait for them.
    std::atomic<int> before{0};
    forEachPlane(32, 4, [&](int64_t) { ++before; });
    ASSERT_EQ(before.load(), 32);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(30);  // a hang ends the child with SIGALRM
        std::atomic<int> ran{0};
        for (int loop = 0; loop < 20; ++loop)
            forEachPlane(32, 4, [&](int64_t) { ++ran; });
        _exit(ran.load() == 20 * 32 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child did not finish (signal " << WTERMSIG(status) << ")";
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
