// The choice of the step kernels.

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "pde/step_kernels.h"

namespace {

// The processor's choice unless TARVIC_KERNELS=baseline (ctest runs the
// finite-difference tests once more with it); the test hook in between.
TEST(StepKernels, ChosenByTheProcessorTheEnvironmentAndTheHook)
{
    const char* wanted = std::getenv("TARVIC_KERNELS");
    const bool v3 = tarvic::machineRunsX86_64_v3() &&
                    !(wanted && std::strcmp(wanted, "baseline") == 0);
    EXPECT_STREQ(tarvic::stepKernels().target, v3 ? "x86-64-v3" : "x86-64");
    tarvic::useBaselineKernels(true);
    EXPECT_STREQ(tarvic::stepKernels().target, "x86-64");
    tarvic::useBaselineKernels(false);
    EXPECT_STREQ(tarvic::stepKernels().target, v3 ? "x86-64-v3" : "x86-64");
}

}  // namespace
