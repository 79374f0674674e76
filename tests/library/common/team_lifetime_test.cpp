// The team of the parallel loops over the life of a process: a host that
// loads and unloads the library again and again, and children of fork()
// started at any moment, also while other threads are inside loops and
// when the child has no memory left.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/parallel_loop.h"
#include "support/address_space_room.h"
#include "support/mc_caller_arrays.h"
#include "tarvic/tarvic.h"

extern char** environ;

namespace {

using tarvic::forEachPlane;

// The folder of the running test program, where the library and the test
// callers are built.
std::string programFolder()
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return ".";
    std::string folder(path.data(), static_cast<size_t>(length));
    return folder.substr(0, folder.find_last_of('/'));
}

struct ChildRun {
    int status = 0;      // as waitpid gives it
    std::string output;  // what the child wrote to its standard output
};

// Runs program with the arguments and OMP_NUM_THREADS=threads beside the
// rest of this process's environment; status -1 when it could not start.
ChildRun runChild(const std::string& program, const std::vector<std::string>& arguments, int threads)
{
    ChildRun run;
    run.status = -1;
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string(*e).rfind("OMP_NUM_THREADS=", 0) != 0)
            environment.emplace_back(*e);
    environment.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(out[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, static_cast<size_t>(got));
        if (waitpid(child, &run.status, 0) != child)
            run.status = -1;
    }
    close(out[0]);
    return run;
}

std::string describe(int status)
{
    if (status == -1)
        return "did not start";
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

// A host that loads the library, prices on 8 threads and unloads it, 100
// times: the process never ends by a signal, and after every unload it holds
// no more threads than one team's (7 beside the caller's) and no more than
// after the first cycle.
TEST(LibraryUnload, LoadCallUnloadCyclesKeepOneTeamAtMost)
{
    const std::string folder = programFolder();
    const std::string helper = folder + "/unload_cycles";
    const std::string library = folder + "/libtarvic.so";
    for (const char* pauseMs : {"0", "10"}) {
        SCOPED_TRACE(std::string("pause of ") + pauseMs + " ms after each call");
        const ChildRun run = runChild(helper, {library, "100", pauseMs}, 8);
        ASSERT_TRUE(run.status != -1 && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
            << describe(run.status) << "; last lines:\n"
            << run.output.substr(run.output.size() > 400 ? run.output.size() - 400 : 0);
        int before = -1, first = -1, most = -1;
        long cycles = 0;
        const size_t totals = run.output.rfind("before ");
        ASSERT_NE(totals, std::string::npos) << run.output;
        ASSERT_EQ(std::sscanf(run.output.c_str() + totals, "before %d first %d most %d cycles %ld", &before,
                              &first, &most, &cycles),
                  4);
        EXPECT_EQ(cycles, 100);
        EXPECT_GE(before, 1);
        EXPECT_LE(first - before, 7) << "threads before the first load " << before << ", after it " << first;
        EXPECT_LE(most, first) << "the thread count grew after the first cycle";
    }
}

// The arrays and arguments of one small multi-threaded pricing by
// simulation (20 000 pseudo-random paths of 10 steps); true when it priced.
bool pricesOnTheTeam()
{
    static double value[512];
    int32_t rows = 0;
    TvString text = VelkOptionPricerMC(value, nullptr, nullptr, nullptr, nullptr, &rows, 100.0, 100.0, 0.0,
                                       0.0, 1.0, 0.25, 0.05, 0.02, 10, 0, 0, 1, 0, 20, 10, 3, 0, 0, 1, 0,
                                       0, 0, 0, 1, 0);
    const bool priced = text != nullptr && tvStringByteLen(text) == 0 && rows > 0 && rows <= 512;
    tvFreeString(text);
    return priced;
}

// A few parallel loops whose pieces sum their indices; true when every
// piece ran once.
bool loopsRunEveryPiece(int threads)
{
    for (int loop = 0; loop < 20; ++loop) {
        std::atomic<int64_t> sum{0};
        forEachPlane(64, threads, [&](int64_t p) { sum += p + 1; });
        if (sum.load() != 64 * 65 / 2)
            return false;
    }
    return true;
}

// What a child forked at any moment does: its first parallel loops, on its
// own team and through the library's exports, within a bounded time.
[[noreturn]] void childRunsLoopsAndPrices()
{
    alarm(60);  // a hang ends the child with SIGALRM
    const bool loops = loopsRunEveryPiece(4);
    const bool priced = pricesOnTheTeam();
    _exit(loops && priced ? 0 : 1);
}

// Children forked while two other threads run parallel loops (the team may
// be taken, its lock held, its threads inside a loop at the fork), from the
// main thread and from a thread that runs loops itself. The other threads'
// pieces do not allocate, so the fork catches no allocator lock held.
TEST(TeamAfterFork, AChildForkedWhileLoopsRunRunsItsFirstLoopsAndPrices)
{
    ASSERT_TRUE(pricesOnTheTeam());  // the library's team exists before the forks
    for (const bool fromLoopThread : {false, true}) {
        SCOPED_TRACE(fromLoopThread ? "forked from a thread that runs loops" : "forked from the main thread");
        std::atomic<bool> stop{false};
        std::atomic<int> failedLoops{0};
        auto loops = [&] {
            while (!stop.load()) {
                std::atomic<int64_t> sum{0};
                forEachPlane(256, 4, [&](int64_t p) {
                    double x = static_cast<double>(p);
                    for (int k = 0; k < 200; ++k)
                        x = x * 0.999 + 1.0;
                    sum += x > 0.0 ? p + 1 : 0;
                });
                if (sum.load() != 256 * 257 / 2)
                    ++failedLoops;
            }
        };
        std::vector<int> statuses;
        auto forkChildren = [&] {
            for (int k = 0; k < 20; ++k) {
                if (fromLoopThread)
                    loopsRunEveryPiece(4);
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(200 * k));
                const pid_t child = fork();
                if (child == 0)
                    childRunsLoopsAndPrices();
                int status = -1;
                if (child < 0 || waitpid(child, &status, 0) != child)
                    status = -1;
                statuses.push_back(status);
            }
        };
        std::thread a(loops), b(loops);
        if (fromLoopThread) {
            std::thread c(forkChildren);
            c.join();
        } else {
            forkChildren();
        }
        stop = true;
        a.join();
        b.join();
        EXPECT_EQ(failedLoops.load(), 0);
        ASSERT_EQ(statuses.size(), 20u);
        for (size_t k = 0; k < statuses.size(); ++k)
            EXPECT_TRUE(statuses[k] != -1 && WIFEXITED(statuses[k]) && WEXITSTATUS(statuses[k]) == 0)
                << "child " << k << ": " << describe(statuses[k]);
    }
}

// A fork in a process whose heap is used up: the fork itself needs no
// memory, and the child, with no room for a team, runs its loops on its own
// thread.
TEST(TeamAfterFork, AChildWithNoMemoryLeftRunsItsLoopsOnItsOwnThread)
{
#ifdef TARVIC_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer needs the address space that this test takes away";
#else
    const int result = tarvic_test::inChildWithAddressSpaceRoom(32u << 20, [] {
        if (!loopsRunEveryPiece(4))  // this process's team, with its threads
            return 10;
        // Take every block the allocator can still hand out, large to small
        // (the small ones size class by size class: a class may be served
        // from blocks kept for it alone).
        std::vector<size_t> sizes;
        for (size_t size = size_t(1) << 20; size > 2048; size /= 2)
            sizes.push_back(size);
        for (size_t size = 2048; size >= 16; size -= 16)
            sizes.push_back(size);
        // The blocks go to a volatile place, so that the compiler keeps
        // allocations whose results are otherwise unused.
        void* volatile taken = nullptr;
        for (size_t size : sizes)
            do
                taken = std::malloc(size);
            while (taken != nullptr);
        for (size_t size : {64, 256, 1024, 4096})
            if ((taken = std::malloc(size)) != nullptr)
                return 11;
        const pid_t child = fork();
        if (child < 0)
            return 12;
        if (child == 0) {
            alarm(60);
            _exit(loopsRunEveryPiece(4) ? 0 : 1);
        }
        int status = 0;
        if (waitpid(child, &status, 0) != child)
            return 13;
        if (WIFSIGNALED(status))
            return 20 + WTERMSIG(status);
        return WEXITSTATUS(status);
    });
    EXPECT_EQ(result, 0) << "1: a loop missed pieces; 10-13: the set-up failed; 20 + n: the child ended by signal n";
#endif
}

}  // namespace
