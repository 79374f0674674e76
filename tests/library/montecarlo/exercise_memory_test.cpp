// The memory count of the early-exercise engines against what their runs
// take: the peak of resident memory of a run, measured in a child process,
// lies at or below the count and within a quarter of it, at two sizes of
// each engine.

#include <gtest/gtest.h>

#include <string>

#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_exercise_path.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/early_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/european_path.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/regression_basis.h"
#include "platform/memory_budget.h"
#include "support/child_peak.h"

namespace tarvic {
namespace {

constexpr int32_t kRows = 500;
constexpr int32_t kSobolRows = 9;

// Deep in the money, so that nearly every regression path enters the fit
// at every step, as the count assumes.
EuropeanContract deepPut(int32_t steps)
{
    return tarvic_test::contractFor(tarvic_test::Market{100.0, 160.0, 0.05, 0.0, 0.2, 1.0}, false, steps);
}

AsianContract deepAsianPut(int32_t fixings)
{
    AsianContract c;
    c.spot = 100.0;
    c.strike = 160.0;
    c.intRate = 0.05;
    c.divYield = 0.0;
    c.volatility = 0.2;
    c.expiry = 1.0;
    c.numFixings = fixings;
    c.optionType = 1;
    return c;
}

struct MemoryCase {
    const char* what;
    bool asian, sobol;
    int32_t steps;
    int32_t numPaths, numLSPaths;  // Sobol exponents
    int64_t paths, regressionPaths;  // pseudo-random
    int32_t basisCount;
};

// The engine's count for the case (serial, as it runs in the child).
[[maybe_unused]] double countedBytes(const MemoryCase& k)
{
    ExerciseModelSizes sizes;
    if (k.asian) {
        const AsianExerciseModel model(deepAsianPut(k.steps), asianBasisFor(k.basisCount));
        sizes = exerciseModelSizes(model);
    } else {
        const BarrierExerciseModel model(deepPut(k.steps), exerciseBasisFor(k.basisCount, 1));
        sizes = exerciseModelSizes(model);
    }
    if (k.sobol)
        return sobolExerciseBytes(sobolExerciseLayout(k.numPaths, k.numLSPaths, true), 1, sizes, sizes, true);
    return pseudoRandomExerciseBytes(pseudoRandomExerciseLayout(k.paths, k.regressionPaths, kRows, true),
                                     generatorSlotCount(), sizes, sizes, true, true);
}

[[maybe_unused]] void run(const MemoryCase& k, int scale)
{
    EstimateSeries r;
    ExerciseRule rule;
    const int32_t steps = scale == 0 ? 4 : k.steps;
    const int32_t numPaths = scale == 0 ? 10 : k.numPaths;
    const int32_t numLSPaths = scale == 0 ? 10 : k.numLSPaths;
    const int64_t paths = scale == 0 ? 2000 : k.paths;
    const int64_t regressionPaths = scale == 0 ? 1000 : k.regressionPaths;
    if (k.asian && k.sobol)
        priceAsianEarlyExerciseQMC(r, rule, deepAsianPut(steps), numPaths, numLSPaths, k.basisCount, true, false,
                                   false, kSobolRows);
    else if (k.asian)
        priceAsianEarlyExerciseMC(r, rule, deepAsianPut(steps), paths, regressionPaths, k.basisCount, false, false,
                                  kRows);
    else if (k.sobol)
        priceEarlyExerciseQMC(r, rule, deepPut(steps), numPaths, numLSPaths, k.basisCount, true, false, false,
                              kSobolRows);
    else
        priceEarlyExerciseMC(r, rule, deepPut(steps), paths, regressionPaths, k.basisCount, false, false, kRows);
}

TEST(ExerciseMemoryCount, HoldsThePeakOfTheRun)
{
#if defined(TARVIC_ADDRESS_SANITIZER) || defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's shadow memory inflates the resident memory";
#else
    // Pairs of sizes; the fit's stored states and design dominate.
    const MemoryCase cases[] = {
        {"vanilla, Sobol, 2^15 paths", false, true, 40, 15, 15, 0, 0, 4},
        {"vanilla, Sobol, 2^16 paths", false, true, 40, 16, 16, 0, 0, 4},
        {"vanilla, pseudo-random, 25000 paths", false, false, 50, 0, 0, 30000, 25000, 4},
        {"vanilla, pseudo-random, 50000 paths", false, false, 50, 0, 0, 60000, 50000, 4},
        {"Asian, Sobol, 2^14 paths", true, true, 24, 14, 14, 0, 0, 16},
        {"Asian, Sobol, 2^15 paths", true, true, 24, 15, 15, 0, 0, 16},
        {"Asian, pseudo-random, 15000 paths", true, false, 24, 0, 0, 20000, 15000, 16},
        {"Asian, pseudo-random, 30000 paths", true, false, 24, 0, 0, 40000, 30000, 16},
    };
    for (const MemoryCase& k : cases) {
        const tarvic_test::ChildMeasure m = tarvic_test::measureInChild(
            [&] {
                try {
                    run(k, 1);
                } catch (const std::exception& e) {
                    return std::string(e.what());
                }
                return std::string();
            },
            [&] {
                run(k, 0);
                // The first reading of the kernel's memory files (the small
                // run is below the size that asks for it).
                availableMemoryBytes();
            });
        ASSERT_TRUE(m.finished) << k.what;
        ASSERT_EQ(m.text, "") << k.what;
        const double counted = countedBytes(k);
        EXPECT_GE(counted, m.peakBytes) << k.what;
        EXPECT_LE(counted, 1.25 * m.peakBytes) << k.what;
    }
#endif
}

}  // namespace
}  // namespace tarvic
