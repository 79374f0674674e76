// The Monte Carlo engines' outputs bit for bit: a table of small runs of
// every engine (European on pseudo-random numbers and on Sobol points, early
// exercise on both, the Asian engines with and without early exercise),
// each recorded as a 64-bit FNV-1a hash of the bytes of every row of every
// series (and of the fitted exercise rule) plus the last value row as a
// hexfloat, so that a change in the path kernel that moves a single bit of
// any output shows here. Every case runs with multiThreaded off and on, at a
// fixed slot count, and both must give the recorded values.
//
// A failure prints the case's row with the values the engine gave, in the
// table's own syntax.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_european_mc.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/option_reference.h"

namespace tarvic {
namespace {

using tarvic_test::ThreadCount;

// The pseudo-random engines' results depend on the slot count; 3 slots
// leave the last slot with fewer blocks than the others.
constexpr int kSlots = 3;
constexpr int32_t kRows = 20;
constexpr int32_t kSobolRowExponent = 4;

enum class Engine {
    EuropeanMC,
    EuropeanQMC,
    ExerciseMC,
    ExerciseQMC,
    AsianMC,
    AsianQMC,
    AsianExerciseMC,
    AsianExerciseQMC,
};

// One run: the engine, its contract and its simulation settings.
struct Setup {
    Engine engine = Engine::EuropeanMC;
    EuropeanContract contract;
    AsianContract asian;
    bool antithetic = false;
    bool bridge = false;

    Setup& put()
    {
        contract.optionType = 1;
        asian.optionType = 1;
        return *this;
    }
    Setup& steps(int32_t n)
    {
        contract.numSteps = n;
        asian.numFixings = n;
        return *this;
    }
    Setup& marching(int32_t scheme)
    {
        contract.timeMarching = scheme;
        asian.timeMarching = scheme;
        return *this;
    }
    Setup& greeks()
    {
        contract.computeGreeks = true;
        asian.computeGreeks = true;
        return *this;
    }
    Setup& barriers(double lower, double upper, bool knockOut, bool continuous)
    {
        contract.lowerBarrier = lower;
        contract.upperBarrier = upper;
        contract.knockOut = knockOut ? 1 : 0;
        contract.contMonitoring = continuous;
        return *this;
    }
    Setup& spot(double s)
    {
        contract.spot = s;
        asian.spot = s;
        return *this;
    }
    Setup& pairs()
    {
        antithetic = true;
        return *this;
    }
    Setup& withBridge()
    {
        bridge = true;
        return *this;
    }
    Setup& floating()
    {
        asian.strikeType = 1;
        return *this;
    }
    Setup& settled(int32_t count, double average)
    {
        asian.numSettled = count;
        asian.settledAverage = average;
        return *this;
    }
};

Setup on(Engine engine)
{
    Setup s;
    s.engine = engine;
    EuropeanContract& c = s.contract;
    c.spot = 100.0;
    c.strike = 100.0;
    c.intRate = 0.05;
    c.divYield = 0.02;
    c.volatility = 0.25;
    c.expiry = 1.0;
    c.numSteps = 1;
    AsianContract& a = s.asian;
    a.spot = 100.0;
    a.strike = 100.0;
    a.intRate = 0.05;
    a.divYield = 0.02;
    a.volatility = 0.25;
    a.expiry = 1.0;
    a.numFixings = 12;
    return s;
}

struct Recorded {
    uint64_t hash;
    double last;
};

struct RecordedCase {
    const char* name;
    Setup setup;
    Recorded recorded;
};

uint64_t fnv1a(uint64_t hash, const void* data, size_t bytes)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) {
        hash ^= p[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

// The hash of every series (its length, then its rows) and of the rule.
Recorded record(const EstimateSeries& r, const ExerciseRule& rule)
{
    uint64_t hash = 14695981039346656037ULL;
    for (const std::vector<double>& s : r.series) {
        const uint64_t n = s.size();
        hash = fnv1a(hash, &n, sizeof n);
        hash = fnv1a(hash, s.data(), s.size() * sizeof(double));
    }
    for (const std::vector<double>& entry : rule) {
        const uint64_t n = entry.size();
        hash = fnv1a(hash, &n, sizeof n);
        hash = fnv1a(hash, entry.data(), entry.size() * sizeof(double));
    }
    return Recorded{hash, r.rows() > 0 ? r.value().back() : 0.0};
}

Recorded runCase(const Setup& s, bool multiThreaded)
{
    EstimateSeries r;
    ExerciseRule rule;
    switch (s.engine) {
    case Engine::EuropeanMC:
        priceEuropeanMC(r, s.contract, 4000, s.antithetic, multiThreaded, kRows);
        break;
    case Engine::EuropeanQMC:
        priceEuropeanQMC(r, s.contract, 12, s.bridge, false, multiThreaded, false, kSobolRowExponent);
        break;
    case Engine::ExerciseMC:
        priceEarlyExerciseMC(r, rule, s.contract, 3000, 1500, 3, s.antithetic, multiThreaded, kRows);
        break;
    case Engine::ExerciseQMC:
        priceEarlyExerciseQMC(r, rule, s.contract, 11, 10, 3, s.bridge, false, multiThreaded, kSobolRowExponent);
        break;
    case Engine::AsianMC:
        priceAsianEuropeanMC(r, s.asian, 4000, s.antithetic, multiThreaded, kRows);
        break;
    case Engine::AsianQMC:
        priceAsianEuropeanQMC(r, s.asian, 12, s.bridge, false, multiThreaded, false, kSobolRowExponent);
        break;
    case Engine::AsianExerciseMC:
        priceAsianEarlyExerciseMC(r, rule, s.asian, 3000, 1500, 11, s.antithetic, multiThreaded, kRows);
        break;
    case Engine::AsianExerciseQMC:
        priceAsianEarlyExerciseQMC(r, rule, s.asian, 11, 10, 11, s.bridge, false, multiThreaded,
                                   kSobolRowExponent);
        break;
    }
    return record(r, rule);
}

std::string hexfloat(double x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

std::string tableRow(const RecordedCase& c, const Recorded& r)
{
    char hash[32];
    std::snprintf(hash, sizeof hash, "0x%016llxULL", static_cast<unsigned long long>(r.hash));
    return std::string("{\"") + c.name + "\", ..., {" + hash + ", " + hexfloat(r.last) + "}}";
}

bool sameBits(double a, double b)
{
    uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

constexpr Engine kMC = Engine::EuropeanMC;
constexpr Engine kQMC = Engine::EuropeanQMC;

const RecordedCase kCases[] = {
    // European, pseudo-random numbers.
    {"call", on(kMC), {0x74af3100a659a9a1ULL, 0x1.6735ac8a5bd6dp+3}},
    {"put", on(kMC).put(), {0xc381a94dbd2b7d92ULL, 0x1.04cc3ac3e72f4p+3}},
    {"call 8 steps", on(kMC).steps(8), {0x2daf9dde616c3ff4ULL, 0x1.67de52cafa02bp+3}},
    {"call greeks", on(kMC).greeks(), {0xec526b2de9627f59ULL, 0x1.6735ac8a5bd6dp+3}},
    {"put greeks 8 steps", on(kMC).put().steps(8).greeks(), {0xe2ee87a3d753bf39ULL, 0x1.08c50a5d9ed81p+3}},
    {"call euler", on(kMC).steps(8).marching(kEulerMarching), {0xcc227966d9ebc675ULL, 0x1.688bbf8465731p+3}},
    {"put euler greeks", on(kMC).put().steps(8).marching(kEulerMarching).greeks(),
     {0xb6069eaff0658ccaULL, 0x1.095636f728d22p+3}},
    {"call milstein", on(kMC).steps(8).marching(kMilsteinMarching), {0x3bc5bbe77904246fULL, 0x1.66ac929482979p+3}},
    {"call milstein greeks", on(kMC).steps(8).marching(kMilsteinMarching).greeks(),
     {0x651ef2e0020303beULL, 0x1.66ac929482979p+3}},
    {"call antithetic", on(kMC).steps(4).pairs(), {0x9368e8554c6ce66fULL, 0x1.64a83fa180f01p+3}},
    {"put antithetic greeks", on(kMC).put().steps(4).pairs().greeks(),
     {0xeffb255ade57b279ULL, 0x1.070e2b3d37325p+3}},
    {"discrete lower out", on(kMC).steps(16).barriers(85.0, 0.0, true, false),
     {0xd7b58a2e192d57a7ULL, 0x1.56892b30c3533p+3}},
    {"discrete lower in", on(kMC).put().steps(16).barriers(85.0, 0.0, false, false),
     {0x87a0deb21ab3cdacULL, 0x1.e1aae886a6b82p+2}},
    {"discrete upper out greeks", on(kMC).steps(16).barriers(0.0, 125.0, true, false).greeks(),
     {0xd4dd043a0054bcf2ULL, 0x1.ed907f2d63e4bp+0}},
    {"discrete upper in", on(kMC).steps(16).barriers(0.0, 125.0, false, false),
     {0x1c97db4b9bafa58bULL, 0x1.34ebd3140c8d1p+3}},
    {"discrete double out", on(kMC).steps(16).barriers(80.0, 125.0, true, false),
     {0xe66aff02f274d2beULL, 0x1.d40638503d1aap+0}},
    {"discrete double in antithetic", on(kMC).steps(16).barriers(80.0, 125.0, false, false).pairs(),
     {0x370b1b47a9d3a8f3ULL, 0x1.3367c4a6daf5ap+3}},
    {"continuous lower out", on(kMC).steps(16).barriers(85.0, 0.0, true, true),
     {0x18aff63b9629c379ULL, 0x1.4265ff2453babp+3}},
    {"continuous lower out greeks", on(kMC).put().steps(16).barriers(85.0, 0.0, true, true).greeks(),
     {0x9d2b1d8833394cf6ULL, 0x1.965a1f26cee92p-2}},
    {"continuous lower in greeks", on(kMC).put().steps(16).barriers(85.0, 0.0, false, true).greeks(),
     {0x0edd3d209d411d5bULL, 0x1.fa14e3c8d82e4p+2}},
    {"continuous upper out", on(kMC).steps(16).barriers(0.0, 125.0, true, true),
     {0xace4bc35594aa827ULL, 0x1.47d978de27c06p+0}},
    {"continuous upper out greeks", on(kMC).steps(16).barriers(0.0, 125.0, true, true).greeks(),
     {0x2358f38ab6437c43ULL, 0x1.47d978de27c06p+0}},
    {"continuous upper in greeks", on(kMC).steps(16).barriers(0.0, 125.0, false, true).greeks(),
     {0x3e3ae4eff5c812a4ULL, 0x1.4ac70724874e9p+3}},
    {"continuous double out", on(kMC).steps(16).barriers(80.0, 125.0, true, true),
     {0xf1f1a619f9f675abULL, 0x1.114170698f346p+0}},
    {"continuous double out greeks", on(kMC).steps(16).barriers(80.0, 125.0, true, true).greeks(),
     {0x690ad01f2d15c220ULL, 0x1.114170698f346p+0}},
    {"continuous double in greeks", on(kMC).put().steps(16).barriers(80.0, 125.0, false, true).greeks(),
     {0xd5bff858f97ce64dULL, 0x1.d4f51d4947691p+2}},
    {"continuous double out antithetic", on(kMC).steps(16).barriers(80.0, 125.0, true, true).pairs(),
     {0xfb59cb600decc3ecULL, 0x1.15a545479f858p+0}},
    {"continuous upper out euler greeks",
     on(kMC).steps(16).marching(kEulerMarching).barriers(0.0, 125.0, true, true).greeks(),
      {0x28cd66944fd38de9ULL, 0x1.4ac6f87c0b18fp+0}},
    {"continuous double in euler greeks",
     on(kMC).steps(16).marching(kEulerMarching).barriers(80.0, 125.0, false, true).greeks(),
      {0x84e108e26ac6be7aULL, 0x1.5191a1b5309abp+3}},
    {"continuous lower out milstein greeks",
     on(kMC).put().steps(16).marching(kMilsteinMarching).barriers(85.0, 0.0, true, true).greeks(),
     {0xbb66e3b72a2a3782ULL, 0x1.9b6a4ed1e12afp-2}},
    {"continuous double out milstein",
     on(kMC).steps(16).marching(kMilsteinMarching).barriers(80.0, 125.0, true, true),
      {0x96856a7264d67d0eULL, 0x1.127f686f07f67p+0}},
    {"spot beyond a continuous upper out", on(kMC).spot(130.0).steps(8).barriers(0.0, 125.0, true, true),
     {0xdb055d45dd18e651ULL, 0x0p+0}},
    {"spot beyond a continuous lower in greeks",
     on(kMC).spot(80.0).steps(8).barriers(85.0, 0.0, false, true).greeks(),
      {0x8bf073c3ad0e48ceULL, 0x1.669407d9abdd4p+1}},
    // European, Sobol points.
    {"sobol call", on(kQMC), {0x3c013e5bc3d99515ULL, 0x1.6355d0f41d153p+3}},
    {"sobol call greeks", on(kQMC).greeks(), {0xbbc9c6bf33599ddcULL, 0x1.6355d0f41d153p+3}},
    {"sobol put 8 steps", on(kQMC).put().steps(8), {0x3d3cf343bee26339ULL, 0x1.0753741c49924p+3}},
    {"sobol put 8 steps bridge greeks", on(kQMC).put().steps(8).withBridge().greeks(),
     {0x8479cc5e9116e9caULL, 0x1.0779d2f688ebbp+3}},
    {"sobol continuous double out bridge greeks",
     on(kQMC).steps(16).barriers(80.0, 125.0, true, true).withBridge().greeks(),
      {0xa42e3645cce1a4b5ULL, 0x1.223522b69608ep+0}},
    {"sobol discrete upper in", on(kQMC).steps(16).barriers(0.0, 125.0, false, false),
     {0x463df6a212a3e2e1ULL, 0x1.1fbef7ec33e45p+3}},
    // Early exercise.
    {"exercise put", on(Engine::ExerciseMC).put().steps(10), {0xa99b31f90c888c8aULL, 0x1.11854027f8acdp+3}},
    {"exercise put greeks antithetic", on(Engine::ExerciseMC).put().steps(10).greeks().pairs(),
     {0x760f2184c70acee4ULL, 0x1.112959cc75808p+3}},
    {"exercise continuous lower out greeks",
     on(Engine::ExerciseMC).put().steps(10).barriers(85.0, 0.0, true, true).greeks(),
      {0xae19059cbeaabc1cULL, 0x1.2fdc922dbddebp+2}},
    {"exercise continuous double in greeks",
     on(Engine::ExerciseMC).put().steps(10).barriers(80.0, 125.0, false, true).greeks(),
      {0x6b4c1c5279836423ULL, 0x1.d6450651b715p+2}},
    {"exercise discrete upper out", on(Engine::ExerciseMC).steps(10).barriers(0.0, 125.0, true, false),
     {0xd6aaeeadd3ed1d47ULL, 0x1.078124da0f697p+3}},
    {"exercise sobol put bridge greeks", on(Engine::ExerciseQMC).put().steps(10).withBridge().greeks(),
     {0x4ded09537ed15a2bULL, 0x1.1453264618dccp+3}},
    {"exercise sobol continuous upper out", on(Engine::ExerciseQMC).steps(10).barriers(0.0, 125.0, true, true),
     {0x3dc835e1b7a248edULL, 0x1.e855e3e1b7143p+2}},
    // Asian.
    {"asian fixed call", on(Engine::AsianMC), {0x02670096cc984bfeULL, 0x1.a2d3b26b9fc38p+2}},
    {"asian floating put greeks antithetic", on(Engine::AsianMC).put().floating().greeks().pairs(),
     {0xbb3967e7d54356e1ULL, 0x1.263ad7f54649ap+2}},
    {"asian fixed call settled euler", on(Engine::AsianMC).settled(3, 95.0).marching(kEulerMarching),
     {0x300f04ad69157724ULL, 0x1.3103546e1ecfcp+2}},
    {"asian sobol fixed put bridge greeks", on(Engine::AsianQMC).put().withBridge().greeks(),
     {0x6d1e362bed8d29b3ULL, 0x1.4867888f1a736p+2}},
    {"asian sobol floating call", on(Engine::AsianQMC).floating(), {0xb3b9c6d1034af939ULL, 0x1.7a2414d139b8dp+2}},
    {"asian exercise fixed put greeks", on(Engine::AsianExerciseMC).put().greeks(),
     {0x24b9d21b2348517dULL, 0x1.7373b8759a671p+2}},
    {"asian exercise floating call", on(Engine::AsianExerciseMC).floating(),
     {0x1a2d8c1f56a12373ULL, 0x1.d93b06cdff7c1p+2}},
    {"asian exercise sobol fixed put bridge", on(Engine::AsianExerciseQMC).put().withBridge(),
     {0xa82827582f49c0b1ULL, 0x1.6d2533303620cp+2}},
    {"asian exercise sobol floating put greeks", on(Engine::AsianExerciseQMC).put().floating().greeks(),
     {0xcd58b6bf842218e2ULL, 0x1.9ca698d98fea2p+2}},
};

class McRecordedResults : public ::testing::TestWithParam<size_t> {};

TEST_P(McRecordedResults, EveryRowKeepsItsBits)
{
    const RecordedCase& c = kCases[GetParam()];
    ThreadCount threads(kSlots);
    for (bool multiThreaded : {false, true}) {
        const Recorded r = runCase(c.setup, multiThreaded);
        EXPECT_TRUE(r.hash == c.recorded.hash && sameBits(r.last, c.recorded.last))
            << c.name << (multiThreaded ? ", multiThreaded" : ", one thread") << ": recorded " << std::hex
            << c.recorded.hash << " " << hexfloat(c.recorded.last) << ", now\n    " << tableRow(c, r);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, McRecordedResults,
                         ::testing::Range(size_t(0), sizeof(kCases) / sizeof(kCases[0])));

}  // namespace
}  // namespace tarvic
