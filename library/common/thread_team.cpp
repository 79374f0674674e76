#include "common/thread_team.h"

#include <pthread.h>
#include <sched.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace tarvic {

int usableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0)
            return count;
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}

namespace team_detail {
namespace {

using Clock = std::chrono::steady_clock;

inline void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until done() holds or `budget` has passed; returns done().
template <class Done>
bool spinFor(Clock::duration budget, Done&& done)
{
    if (done())
        return true;
    const Clock::time_point until = Clock::now() + budget;
    for (;;) {
        for (int k = 0; k < 64; ++k) {
            relax();
            if (done())
                return true;
        }
        if (Clock::now() >= until)
            return done();
    }
}

Clock::duration spinBudget(Clock::duration worked)
{
    const Clock::duration cap = std::chrono::microseconds(kMaxSpinMicroseconds);
    return worked < cap ? worked : cap;
}

class Team {
public:
    // Runs a loop on the team; false when the team is taken.
    bool run(int64_t count, int threads, PieceFunction piece, void* context);
    // Team threads started so far.
    int started() const { return started_.load(std::memory_order_relaxed); }

private:
    struct Worker {
        std::condition_variable wake;
    };

    // Starts team threads up to `count`; returns how many there are.
    int ensureWorkers(int count);
    // Team thread `index` (1, 2, ...), started while loop `loop` was the last.
    void workerMain(int index, uint64_t loop);
    // Takes and runs pieces of the current loop; returns the time it worked.
    Clock::duration takePieces(int worker);

    std::atomic<bool> taken_{false};

    std::mutex mutex_;
    std::condition_variable finished_;
    // Guarded by mutex_.
    uint64_t loop_ = 0;   // the number of the current (or last) loop
    bool open_ = false;   // team threads may still join the current loop
    int inside_ = 0;      // team threads inside the current loop
    int threads_ = 1;     // the current loop's threads, the caller's among them
    PieceFunction piece_ = nullptr;
    void* context_ = nullptr;
    int64_t count_ = 0;
    std::vector<std::unique_ptr<Worker>> workers_;  // worker k + 1 is workers_[k]

    std::atomic<uint64_t> published_{0};  // loop_, for threads spinning on it
    std::atomic<int64_t> next_{0};        // the next piece to take
    std::atomic<int64_t> done_{0};        // pieces finished
    std::atomic<int> started_{0};         // team threads running
};

int Team::ensureWorkers(int count)
{
    // Called by the caller holding taken_, outside mutex_; a thread that
    // cannot be started leaves the team as large as it is.
    while (static_cast<int>(workers_.size()) < count) {
        uint64_t loop = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            workers_.push_back(std::make_unique<Worker>());
            loop = loop_;
        }
        const int index = static_cast<int>(workers_.size());
        try {
            std::thread(&Team::workerMain, this, index, loop).detach();
            started_.fetch_add(1, std::memory_order_relaxed);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            workers_.pop_back();
            break;
        }
    }
    return static_cast<int>(workers_.size());
}

Clock::duration Team::takePieces(int worker)
{
    const Clock::time_point start = Clock::now();
    const int64_t count = count_;
    PieceFunction piece = piece_;
    void* context = context_;
    for (;;) {
        const int64_t p = next_.fetch_add(1, std::memory_order_relaxed);
        if (p >= count)
            break;
        piece(context, p, worker);
        if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_.notify_one();
        }
    }
    return Clock::now() - start;
}

void Team::workerMain(int index, uint64_t loop)
{
    // The thread's malloc arena, taken now rather than by its first piece:
    // a started thread holds all the address space it will (see
    // teamThreadsStarted).
    void* volatile first = std::malloc(1);
    std::free(first);
    uint64_t seen = loop;
    Clock::duration worked = Clock::duration::zero();
    for (;;) {
        spinFor(spinBudget(worked), [&] { return published_.load(std::memory_order_acquire) != seen; });
        std::unique_lock<std::mutex> lock(mutex_);
        Worker& self = *workers_[static_cast<size_t>(index - 1)];
        self.wake.wait(lock, [&] { return loop_ != seen; });
        seen = loop_;
        worked = Clock::duration::zero();
        if (!open_ || index >= threads_)
            continue;
        ++inside_;
        lock.unlock();
        worked = takePieces(index);
        lock.lock();
        if (--inside_ == 0)
            finished_.notify_one();
    }
}

bool Team::run(int64_t count, int threads, PieceFunction piece, void* context)
{
    if (taken_.exchange(true, std::memory_order_acquire))
        return false;
    int workers = 0;
    try {
        workers = ensureWorkers(threads - 1);
    } catch (...) {
        workers = static_cast<int>(workers_.size());  // no memory for another worker
    }
    if (threads > workers + 1)
        threads = workers + 1;
    if (threads < 2) {
        taken_.store(false, std::memory_order_release);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        piece_ = piece;
        context_ = context;
        count_ = count;
        threads_ = threads;
        next_.store(0, std::memory_order_relaxed);
        done_.store(0, std::memory_order_relaxed);
        open_ = true;
        ++loop_;
        published_.store(loop_, std::memory_order_release);
        for (int k = 1; k < threads; ++k)
            workers_[static_cast<size_t>(k - 1)]->wake.notify_one();
    }
    const Clock::duration worked = takePieces(0);
    spinFor(spinBudget(worked), [&] { return done_.load(std::memory_order_acquire) == count; });
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [&] { return done_.load(std::memory_order_acquire) == count; });
        // No team thread joins any more; wait for those inside to leave.
        open_ = false;
        finished_.wait(lock, [&] { return inside_ == 0; });
    }
    taken_.store(false, std::memory_order_release);
    return true;
}

// The process's team, made on first use and never destroyed: its threads
// sleep in it until the process ends (the library stays mapped once loaded,
// so their code never goes away under them).
//
// A child of fork() has none of the parent's threads, and the parent's team
// may have been in any state at the fork (its mutex held by a thread that
// does not exist in the child). So a record belongs to the process that made
// it; a process that finds another's record makes its own on first use and
// leaves the old one untouched (never freed, and kept reachable from the new
// one so that leak checkers see it as held). A process is told apart by its
// id and by the forks it has come out of as the child: a descendant may be
// given the id of an ancestor that has ended. Inside fork nothing runs but
// the count, so a fork allocates nothing here and cannot fail here.
struct Process {
    pid_t id;
    uint64_t forks;
    bool operator==(const Process& other) const { return id == other.id && forks == other.forks; }
};

std::atomic<uint64_t> forksAsChild{0};

void countForkInChild() { forksAsChild.fetch_add(1, std::memory_order_relaxed); }

// Registers the count at load time. Were there no room for the handler, the
// process id alone would tell the processes apart.
struct ForkCounter {
    ForkCounter() { pthread_atfork(nullptr, nullptr, countForkInChild); }
} const forkCounter;

Process thisProcess()
{
    return {getpid(), forksAsChild.load(std::memory_order_relaxed)};
}

struct TeamRecord {
    TeamRecord(Process creator, TeamRecord* before) : owner(creator), previous(before) {}
    Team team;
    const Process owner;          // the process whose threads the team holds
    TeamRecord* const previous;   // the record this one replaced, if any
};
std::atomic<TeamRecord*> currentTeam{nullptr};

// This process's team; null when there is no memory for one.
Team* processTeam() noexcept
{
    const Process self = thisProcess();
    TeamRecord* record = currentTeam.load(std::memory_order_acquire);
    while (record == nullptr || !(record->owner == self)) {
        TeamRecord* fresh = new (std::nothrow) TeamRecord(self, record);
        if (fresh == nullptr)
            return nullptr;
        if (currentTeam.compare_exchange_strong(record, fresh, std::memory_order_acq_rel))
            return &fresh->team;
        // Another thread of this process stored its record first: use that.
        delete fresh;
    }
    return &record->team;
}

}  // namespace

int teamStarted()
{
    const TeamRecord* record = currentTeam.load(std::memory_order_acquire);
    return record != nullptr && record->owner == thisProcess() ? record->team.started() : 0;
}

void runPieces(int64_t count, int threads, PieceFunction piece, void* context)
{
    if (count <= 0)
        return;
    if (threads > count)
        threads = static_cast<int>(count);
    if (threads > 1) {
        Team* team = processTeam();
        if (team != nullptr && team->run(count, threads, piece, context))
            return;
    }
    for (int64_t p = 0; p < count; ++p)
        piece(context, p, 0);
}

}  // namespace team_detail

int teamThreadsStarted()
{
    return team_detail::teamStarted();
}

}  // namespace tarvic
