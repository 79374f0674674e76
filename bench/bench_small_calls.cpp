// Whole small calls through the C interface, as a caller makes them: what a
// call costs beyond its arithmetic (opening and reading files, allocating).
//
//  - VelkOptionPricer, European call, 50 time steps, 50 asset steps;
//  - VelkBarrierOptionPricer, down-and-out call and down-and-in put, 50/50;
//  - VelkOptionPricerMC, European call, 1000 pseudo-random paths, one step;
//  - VelkOptionPricerMC, European call, 2^10 Sobol points, one step.
// S = K = 100, T = 1, sigma 0.2, r 0.05, q 0.02, barrier 90; stretched grid,
// Crank-Nicolson with a Rannacher start, no theta or vega re-solves.
//
// Counters per call: error, the value at the spot (the finite-difference
// grid read by the cubic the header describes, the last Monte Carlo row)
// against the closed form; reads, read system calls (syscr of
// /proc/self/io around 200 calls, the reads of the measure itself taken
// off); allocs and alloc_bytes, the calls to malloc, calloc and realloc
// and the bytes they asked for (every thread of the process, counted by
// this program's own malloc in front of the C library's).
//
// The library is loaded at run time, only by the names tarvic.h declares:
// TARVIC_LIBRARY names it (default: libtarvic.so beside this program), so
// one build of this program measures older builds of the library side by
// side with this one. A library that does not export tvFreeString (older
// builds made the text inline) has its texts freed by the layout
// tarvic/counted_string.h describes.
//
//   TARVIC_LIBRARY=/path/to/old/libtarvic.so build/bin/bench_small_calls
//
// Measured on the 8-core machine beside other busy programs (load average
// about 35), OMP_NUM_THREADS=8, the three builds interleaved, medians of
// three rounds; time, reads, allocations and their bytes per call:
//
//   call                  15749d1                  f96fbcf                  now
//   European call         31.4 us  0  28  30 KB    210 us  24 149 156 KB    32.3 us 0 28 30 KB
//   down-and-out call     21.2 us  0  29  21 KB    210 us  24 150 147 KB    21.2 us 0 29 21 KB
//   down-and-in put       53.0 us  0  61  44 KB    252 us  24 171 170 KB    54.5 us 0 47 41 KB
//   1000 paths             193 us 24 126 151 KB    196 us  24 125 151 KB    15.9 us 0  4 24 KB
//   2^10 Sobol points      486 us 25 167 144 KB    463 us  25 165 144 KB    24.2 us 0 21  3 KB

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "pde/solution_at.h"
#include "tarvic/tarvic.h"

// ---- Counting allocations -----------------------------------------------------

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};
std::atomic<uint64_t> allocatedBytes{0};

inline void countAllocation(size_t bytes)
{
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
        allocatedBytes.fetch_add(bytes, std::memory_order_relaxed);
    }
}

}  // namespace

extern "C" {
void* malloc(size_t bytes)
{
    countAllocation(bytes);
    return __libc_malloc(bytes);
}
void* calloc(size_t count, size_t size)
{
    countAllocation(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t bytes)
{
    countAllocation(bytes);
    return __libc_realloc(block, bytes);
}
void free(void* block)
{
    __libc_free(block);
}
}

namespace {

// ---- The library ------------------------------------------------------------

struct Library {
    decltype(&VelkOptionPricer) vanilla = nullptr;
    decltype(&VelkBarrierOptionPricer) barrier = nullptr;
    decltype(&VelkOptionPricerMC) monteCarlo = nullptr;
    decltype(&VanillaBS) vanillaBS = nullptr;
    decltype(&BarrierBS) barrierBS = nullptr;
    decltype(&tvFreeString) freeString = nullptr;
    std::string path;
    std::string failure;
};

std::string besideThisProgram(const char* name)
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return name;
    std::string folder(path.data(), static_cast<size_t>(length));
    return folder.substr(0, folder.find_last_of('/') + 1) + name;
}

template <class Function>
void bind(void* handle, const char* name, Function& f, std::string& failure)
{
    f = reinterpret_cast<Function>(dlsym(handle, name));
    if (!f && failure.empty())
        failure = std::string("the library exports no ") + name;
}

const Library& library()
{
    static const Library lib = [] {
        Library l;
        const char* named = std::getenv("TARVIC_LIBRARY");
        l.path = named && *named ? named : besideThisProgram("libtarvic.so");
        void* handle = dlopen(l.path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            l.failure = dlerror();
            return l;
        }
        bind(handle, "VelkOptionPricer", l.vanilla, l.failure);
        bind(handle, "VelkBarrierOptionPricer", l.barrier, l.failure);
        bind(handle, "VelkOptionPricerMC", l.monteCarlo, l.failure);
        bind(handle, "VanillaBS", l.vanillaBS, l.failure);
        bind(handle, "BarrierBS", l.barrierBS, l.failure);
        l.freeString = reinterpret_cast<decltype(&tvFreeString)>(dlsym(handle, "tvFreeString"));
        std::fprintf(stderr, "library: %s\n", l.path.c_str());
        return l;
    }();
    return lib;
}

// The text's message (empty on success), the text freed.
std::string takeText(TvString text)
{
    if (!text)
        return "no text (NULL)";
    uint32_t length = 0;
    std::memcpy(&length, text - sizeof(uint32_t), sizeof(uint32_t));
    std::string message(text, length);
    if (library().freeString)
        library().freeString(text);
    else
        free(text - sizeof(uint32_t));
    return message;
}

// ---- Read system calls ------------------------------------------------------

// syscr of /proc/self/io: the read system calls of every thread so far.
uint64_t readCalls()
{
    char text[1024];
    const int fd = open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t length = 0;
    ssize_t got = 0;
    while ((got = read(fd, text + length, sizeof text - 1 - static_cast<size_t>(length))) > 0)
        length += got;
    close(fd);
    text[length] = 0;
    const char* line = std::strstr(text, "syscr:");
    return line ? std::strtoull(line + 6, nullptr, 10) : 0;
}

// ---- The calls --------------------------------------------------------------

constexpr double kSpot = 100.0, kStrike = 100.0, kExpiry = 1.0, kVolatility = 0.2;
constexpr double kRate = 0.05, kYield = 0.02, kBarrier = 90.0;
constexpr size_t kEntries = TV_MAX_NODE_INDEX + 1;

struct Arrays {
    std::vector<double> grid = std::vector<double>(kEntries), value = std::vector<double>(kEntries),
                        delta = std::vector<double>(kEntries), gamma = std::vector<double>(kEntries),
                        theta = std::vector<double>(kEntries), vega = std::vector<double>(kEntries);
    int32_t lastIndex = 0;
    int32_t rows = 0;
};

// The value at S off a grid, by the cubic through the four nodes around it
// (a straight line in the first two and last two intervals), as the header
// says the program reads it.
double valueOnGrid(const Arrays& a, double S)
{
    return tarvic::cubicSolutionAt(a.grid.data(), a.value.data(), a.lastIndex + 1, S);
}

enum class Call { EuropeanCall, DownAndOutCall, DownAndInPut, PseudoRandom, Sobol };

// One call; its failure text, empty on success.
std::string makeCall(Call call, Arrays& a)
{
    const Library& lib = library();
    switch (call) {
    case Call::EuropeanCall:
        a.lastIndex = 50;
        return takeText(lib.vanilla(a.grid.data(), a.value.data(), a.delta.data(), a.gamma.data(),
                                    a.theta.data(), a.vega.data(), kStrike, /*timeSteps*/ 50, kExpiry,
                                    kVolatility, kRate, kYield, &a.lastIndex, /*optionType*/ 0,
                                    /*exerciseType*/ 0, /*discretization*/ 2, /*amerSolver*/ 2,
                                    /*maxAsset*/ 0.0, /*calcTheta*/ 0, /*calcVega*/ 0,
                                    /*nonUniformGrid*/ 1, /*numPeriods*/ 0));
    case Call::DownAndOutCall:
    case Call::DownAndInPut: {
        const bool out = call == Call::DownAndOutCall;
        a.lastIndex = 50;
        return takeText(lib.barrier(a.grid.data(), a.value.data(), a.delta.data(), a.gamma.data(),
                                    a.theta.data(), a.vega.data(), kSpot, kStrike,
                                    /*lowerBarrier*/ kBarrier, /*upperBarrier*/ 0.0,
                                    /*contMonitoring*/ 1, /*timeSteps*/ 50, kExpiry, kVolatility, kRate,
                                    kYield, &a.lastIndex, /*optionType*/ out ? 0 : 1,
                                    /*knockOut*/ out ? 1 : 0, /*exerciseType*/ 0,
                                    /*discretization*/ 2, /*amerSolver*/ 2, /*maxAsset*/ 0.0,
                                    /*calcTheta*/ 0, /*calcVega*/ 0, /*nonUniformGrid*/ 1,
                                    /*numPeriods*/ 0));
    }
    case Call::PseudoRandom:
    case Call::Sobol: {
        const bool sobol = call == Call::Sobol;
        return takeText(lib.monteCarlo(
            a.value.data(), a.delta.data(), a.gamma.data(), a.vega.data(), a.theta.data(), &a.rows, kSpot,
            kStrike, /*lowerBarrier*/ 0.0, /*upperBarrier*/ 0.0, kExpiry, kVolatility, kRate, kYield,
            /*numSteps*/ 1, /*optionType*/ 0, /*exerciseType*/ 0, /*knockOut*/ 1, /*contMonitoring*/ 1,
            /*numPaths*/ sobol ? 10 : 1, /*numLSPaths*/ 0, /*numBasisFunctions*/ 0, /*greeksCode*/ 0,
            /*greeksMethod*/ 0, /*timeMarching*/ 1, /*antithetic*/ 0, /*useSobol*/ sobol ? 1 : 0,
            /*warmUpSobol*/ 0, /*brownianBridge*/ 0, /*multiThreaded*/ 1, /*fewSobolBlocks*/ 0));
    }
    }
    return "unknown call";
}

// The value at the spot against the closed form.
double errorOfCall(Call call, const Arrays& a)
{
    const Library& lib = library();
    double value = 0.0, delta = 0.0, gamma = 0.0, theta = 0.0, vega = 0.0;
    switch (call) {
    case Call::EuropeanCall:
        lib.vanillaBS(&value, &delta, &gamma, &theta, &vega, kSpot, kStrike, kRate, kYield, kVolatility,
                      kExpiry, 0);
        return valueOnGrid(a, kSpot) - value;
    case Call::DownAndOutCall:
    case Call::DownAndInPut: {
        const bool out = call == Call::DownAndOutCall;
        lib.barrierBS(&value, &delta, &gamma, &theta, &vega, kSpot, kStrike, kRate, kYield, kVolatility,
                      kExpiry, kBarrier, 0.0, out ? 1 : 0, out ? 0 : 1);
        return valueOnGrid(a, kSpot) - value;
    }
    case Call::PseudoRandom:
    case Call::Sobol:
        lib.vanillaBS(&value, &delta, &gamma, &theta, &vega, kSpot, kStrike, kRate, kYield, kVolatility,
                      kExpiry, 0);
        return a.rows > 0 ? a.value[static_cast<size_t>(a.rows - 1)] - value : NAN;
    }
    return NAN;
}

void BM_SmallCall(benchmark::State& state, Call call)
{
    if (!library().failure.empty()) {
        state.SkipWithError(library().failure.c_str());
        return;
    }
    Arrays a;
    std::string failure = makeCall(call, a);  // the first call: files found, team made
    if (!failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    for (auto _ : state) {
        makeCall(call, a);
        benchmark::DoNotOptimize(a.value.data());
    }
    state.counters["error"] = errorOfCall(call, a);

    // Reads and allocations, away from the timed loop.
    constexpr int kCalls = 200;
    const uint64_t before = readCalls();
    const uint64_t measure = readCalls() - before;  // what one readCalls() reads
    const uint64_t start = readCalls();
    allocations = 0;
    allocatedBytes = 0;
    counting = true;
    for (int k = 0; k < kCalls; ++k)
        makeCall(call, a);
    counting = false;
    const uint64_t reads = readCalls() - start - measure;
    state.counters["reads"] = static_cast<double>(reads) / kCalls;
    state.counters["allocs"] = static_cast<double>(allocations.load()) / kCalls;
    state.counters["alloc_bytes"] = static_cast<double>(allocatedBytes.load()) / kCalls;
}

BENCHMARK_CAPTURE(BM_SmallCall, european_call_50x50, Call::EuropeanCall)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SmallCall, down_and_out_call_50x50, Call::DownAndOutCall)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SmallCall, down_and_in_put_50x50, Call::DownAndInPut)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SmallCall, mc_1000_paths, Call::PseudoRandom)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SmallCall, sobol_2e10_points, Call::Sobol)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
