// The one memory budget of the library, on fixture texts of the kernel's
// files, and the Monte Carlo engines held to it.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "common/thread_team.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/simulation_limits.h"
#include "pde/fd_frame.h"
#include "platform/memory_budget.h"
#include "support/address_space_room.h"
#include "support/caller_arrays.h"

#if defined(__SANITIZE_THREAD__)
#define TARVIC_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TARVIC_THREAD_SANITIZER 1
#endif
#endif

namespace {

using tarvic::MemoryReadings;
using tarvic::memoryRoom;

constexpr uint64_t kMiB = 1024u * 1024u;

const char* const kMeminfo =
    "MemTotal:       32768000 kB\n"
    "MemFree:         1024000 kB\n"
    "MemAvailable:   16384000 kB\n"
    "Buffers:          100000 kB\n";

MemoryReadings machineOnly()
{
    MemoryReadings r;
    r.meminfo = kMeminfo;
    return r;
}

TEST(MemoryBudget, SmallestRoomOfTheKernelsFigures)
{
    const std::size_t available = 16384000ull * 1024u;
    struct Case {
        const char* what;
        MemoryReadings readings;
        std::size_t room;
    };
    std::vector<Case> cases;
    cases.push_back({"available memory alone", machineOnly(), available});
    {
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"max\n", "123456789\n", ""});
        cases.push_back({"a v2 group without a limit", r, available});
    }
    {
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"9223372036854771712\n", "592195584\n", "total_inactive_file 0\n"});
        cases.push_back({"a v1 group without a limit", r, available});
    }
    {
        // 1 GiB limit, 512 MiB charged of which 256 MiB is inactive file cache.
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"1073741824\n", "536870912\n",
                             "anon 100\nfile 300000000\nactive_file 1\ninactive_file 268435456\n"});
        cases.push_back({"a v2 limit, cache reclaimable", r, 768 * kMiB});
    }
    {
        // v1 counts the hierarchy's cache in total_inactive_file.
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"2147483648\n", "1610612736\n",
                             "cache 5\ninactive_file 1\ntotal_inactive_file 536870912\n"});
        cases.push_back({"a v1 limit", r, 1024 * kMiB});
    }
    {
        // The tightest of the process's group and the one above it.
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"max\n", "1000\n", ""});
        r.cgroups.push_back({"2147483648\n", "1879048192\n", ""});
        cases.push_back({"a limit further up", r, 256 * kMiB});
    }
    {
        MemoryReadings r = machineOnly();
        r.cgroups.push_back({"104857600\n", "209715200\n", ""});
        cases.push_back({"a group over its limit", r, 0});
    }
    {
        MemoryReadings r = machineOnly();
        r.status = "Name:\ttest\nVmPeak:\t 2000000 kB\nVmSize:\t 1572864 kB\nVmRSS:\t 1000 kB\n";
        r.addressSpaceLimit = 2048 * kMiB;
        cases.push_back({"an address-space limit", r, 512 * kMiB});
    }
    cases.push_back({"nothing readable", MemoryReadings{}, SIZE_MAX});
    {
        MemoryReadings r;
        r.meminfo = "MemTotal: 1000 kB\n";
        r.cgroups.push_back({"", "", ""});
        cases.push_back({"no MemAvailable line, an empty group", r, SIZE_MAX});
    }
    for (const Case& c : cases)
        EXPECT_EQ(memoryRoom(c.readings), c.room) << c.what;
}

TEST(MemoryBudget, ControlGroupsFromTheProcessUpToTheRoot)
{
    using Folders = std::vector<std::pair<std::string, bool>>;
    const auto folders = [](const std::string& text) {
        Folders f;
        for (const tarvic::CgroupFolder& folder : tarvic::memoryCgroupFolders(text, "/cg"))
            f.emplace_back(folder.path, folder.unified);
        return f;
    };
    // Unified hierarchy: the group and each one above it, at the mount and
    // at mount/unified (hybrid systems).
    EXPECT_EQ(folders("0::/user.slice/app.scope\n"),
              (Folders{{"/cg/user.slice/app.scope", true},
                       {"/cg/unified/user.slice/app.scope", true},
                       {"/cg/user.slice", true},
                       {"/cg/unified/user.slice", true},
                       {"/cg", true},
                       {"/cg/unified", true}}));
    // v1: only the memory controller's line counts, alone or in a list.
    EXPECT_EQ(folders("9:name=systemd:/\n8:pids:/\n4:memory:/process_api/bb68\n0::/\n"),
              (Folders{{"/cg/memory/process_api/bb68", false},
                       {"/cg/memory/process_api", false},
                       {"/cg/memory", false},
                       {"/cg", true},
                       {"/cg/unified", true}}));
    EXPECT_EQ(folders("3:cpu,memory:/a/\n"),
              (Folders{{"/cg/memory/a", false}, {"/cg/memory", false}}));
    EXPECT_TRUE(folders("").empty());
    EXPECT_TRUE(folders("garbage\n5:memory\n").empty());
}

TEST(MemoryBudget, ThisProcessHasABudgetBelowItsRoom)
{
    const std::size_t room = memoryRoom(tarvic::readMemoryReadings());
    const std::size_t budget = tarvic::availableMemoryBytes();
    ASSERT_GT(room, 0u);
    EXPECT_LE(budget, room);
    if (room != SIZE_MAX) {
        EXPECT_GE(static_cast<double>(budget), 0.89 * static_cast<double>(room));
    }
}

TEST(MemoryBudget, SobolPointsBeyondTheProcessesRoomAreRefused)
{
#ifdef TARVIC_ADDRESS_SANITIZER
    GTEST_SKIP() << "an address-space limit cannot be combined with the address sanitizer";
#else
    // Points of about a gigabyte: within the engine's own 3.5 GB rule and
    // the machine's memory, beyond a process left 300 MB of address space.
    const tarvic::SobolBlockLayout layout = tarvic::sobolBlockLayout(20, 8000, false, 8);
    ASSERT_GT(layout.memoryGB, 0.5);
    ASSERT_LT(layout.memoryGB, 3.0);
    const int status = tarvic_test::inChildWithAddressSpaceRoom(300u << 20, [] {
        try {
            tarvic::sobolBlockLayout(20, 8000, false, 8);
        } catch (const std::exception& e) {
            // The budget that refused it, with its amount: not the engine's 4GB rule.
            return std::string(e.what()).rfind(tarvic::kSimulationBudgetOpening, 0) == 0 ? 0 : 1;
        }
        return 2;
    });
    EXPECT_EQ(status, 0) << "1: another failure, 2: accepted, 100: no limit, -1: a signal";
#endif
}

TEST(MemoryBudget, TeamThreadsAlreadyStartedAreNotCountedAgain)
{
#if defined(TARVIC_ADDRESS_SANITIZER)
    GTEST_SKIP() << "an address-space limit cannot be combined with the address sanitizer";
#elif defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a child of fork() that starts threads is beyond the thread sanitizer";
#else
    // In a fresh child (no team threads yet) under an address-space limit:
    // a loop of 4 threads would start 3; once they run, 4 start none and 6
    // start 2.
    const int status = tarvic_test::inChildWithAddressSpaceRoom(std::size_t{2} << 30, [] {
        const std::size_t fresh3 = tarvic::teamAddressSpaceBytes(3);
        const std::size_t fresh4 = tarvic::teamAddressSpaceBytes(4);
        if (tarvic::teamThreadsStarted() != 0 || fresh3 == 0 || !(fresh4 > fresh3))
            return 1;
        tarvic::team_detail::runPieces(64, 4, [](void*, int64_t, int) noexcept {}, nullptr);
        if (tarvic::teamThreadsStarted() != 3)
            return 2;
        if (tarvic::teamAddressSpaceBytes(4) != 0 || tarvic::teamAddressSpaceBytes(2) != 0)
            return 3;
        return tarvic::teamAddressSpaceBytes(6) == fresh3 ? 0 : 4;
    });
    EXPECT_EQ(status, 0) << "1: the fresh count, 2: the team, 3: started threads counted, 4: new ones "
                            "miscounted, 100: no limit, -1: a signal";
#endif
}

TEST(MemoryBudget, SolvesKeepToTheThreadsTheTeamHasWhenTheRoomShrinks)
{
#if defined(TARVIC_ADDRESS_SANITIZER)
    GTEST_SKIP() << "an address-space limit cannot be combined with the address sanitizer";
#elif defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a child of fork() that starts threads is beyond the thread sanitizer";
#else
    if (tarvic::usableCores() < 3 || omp_get_thread_limit() < 3)
        GTEST_SKIP() << "fewer than three cores: the solves do not run side by side";
    // An American put with theta and vega (three solves side by side on a
    // team of three), then the room cut to 100 MB: too little for two new
    // threads' arenas and stacks, enough for the solves themselves.
    const int status = tarvic_test::inChildWithAddressSpaceRoom(std::size_t{2} << 30, [] {
        omp_set_num_threads(3);
        const auto threadsOfASolve = [] {
            tarvic::DornTechOption option(100.0, 300, 1.0, 0.2, 0.05, 0.02, 300, 1, 1, 2, 2, 0.0, true, 1, 0,
                                          true);
            tarvic_test::CallerArrays out;
            const tarvic::NodeArrays arrays{out.p(tarvic_test::kGrid),  out.p(tarvic_test::kValue),
                                            out.p(tarvic_test::kDelta), out.p(tarvic_test::kGamma),
                                            out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega)};
            int32_t n = 0;
            tarvic::runFiniteDifferenceFrame(option, arrays, &n, {true, true, false, 0.0, true});
            return tarvic::lastFrameSolveThreads();
        };
        if (threadsOfASolve() != 3)
            return 1;
        long pages = 0, resident = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
                pages = 0;
            std::fclose(f);
        }
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (100u << 20);
        const rlimit cap{limit, limit};
        if (setrlimit(RLIMIT_AS, &cap) != 0)
            return 100;
        return threadsOfASolve() == 3 ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: the first call not side by side, 2: the second call on fewer threads, "
                            "100: no limit, -1: a signal";
#endif
}

}  // namespace
