// What a call asks the system about its memory: nothing where its own
// working set lies far below any room there can be (reading the kernel's
// memory files cost a small finite-difference call four times its
// arithmetic), at most once where it could come near that room. The calls
// run as the exports run them (the contract, the frame and the guard of
// each export, from the library's archive, whose probes the seam counts).

#include <sys/resource.h>

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "exports/result_text.h"
#include "montecarlo/option_pricer_mc.h"
#include "pde/asian_frame.h"
#include "pde/dorn_tech_asian_option.h"
#include "pde/fd_frame.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"
#include "platform/memory_budget.h"
#include "support/caller_arrays.h"
#include "support/mc_caller_arrays.h"

namespace {

using tarvic_test::CallerArrays;

// The text a call returns through the exports' guard.
std::string guarded(const std::function<void()>& body)
{
    TvString text = tarvic::guardedExport(body);
    std::string result(text, tvStringByteLen(text));
    tvFreeString(text);
    return result;
}

tarvic::NodeArrays arraysOf(CallerArrays& out)
{
    return {out.p(tarvic_test::kGrid),  out.p(tarvic_test::kValue), out.p(tarvic_test::kDelta),
            out.p(tarvic_test::kGamma), out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega)};
}

// A barrier contract at S = K = 100, T = 1, sigma 0.2, r 0.05, q 0.02,
// stretched grid, Crank-Nicolson with a Rannacher start, solved by the
// barrier export's frame with theta and vega.
std::string barrierCall(double lower, double upper, int32_t optionType, bool knockOut, int32_t steps,
                        int32_t timeSteps = 50)
{
    return guarded([&] {
        const tarvic::BarrierContract c{100.0, 100.0, lower, upper, true, timeSteps, 1.0, 0.2, 0.05, 0.02,
                                        steps, optionType, 0, 2, 2, 0.0, true, 0};
        std::unique_ptr<tarvic::DornTechOption> option;
        if (upper == 0.0)
            option = knockOut ? std::unique_ptr<tarvic::DornTechOption>(new tarvic::DornTechDOBOption(c))
                              : std::unique_ptr<tarvic::DornTechOption>(new tarvic::DornTechDIBOption(c));
        else if (lower == 0.0)
            option = std::make_unique<tarvic::DornTechUIBOption>(c);
        else
            option = std::make_unique<tarvic::DornTechDBIOption>(c);
        CallerArrays out;
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(*option, arraysOf(out), &n,
                                         {true, true, false, 100.0, knockOut && upper == 0.0});
    });
}

std::string vanillaCall(int32_t exerciseType, int32_t steps)
{
    return guarded([&] {
        tarvic::DornTechOption option(100.0, steps, 1.0, 0.2, 0.05, 0.02, steps, 1, exerciseType, 2, 2, 0.0,
                                      true, 1, 0, true);
        CallerArrays out;
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(option, arraysOf(out), &n, {true, true, false, 0.0, true});
    });
}

std::unique_ptr<tarvic::DornTechAsianOption> asianOption(double volatility, int32_t steps, int32_t fixings,
                                                         double strike)
{
    return std::make_unique<tarvic::DornTechAsianOption>(100.0, strike, 1.0, volatility, 0.05, 0.02, 0.0, 0.0,
                                                         steps, steps, 4, fixings, 0, 1, 0, 2, 2, 2, 0.0,
                                                         true, true);
}

std::string asianCall(tarvic::DornTechAsianOption& option)
{
    return guarded([&] {
        CallerArrays out;
        int32_t n = 0;
        tarvic::runAsianFrame(option, arraysOf(out), &n, true, true);
    });
}

std::string monteCarloCall(int32_t exerciseType, bool sobol, int32_t numPaths)
{
    return guarded([&] {
        tarvic::OptionMcRequest r;
        r.spot = 100.0;
        r.strike = 100.0;
        r.expiry = 1.0;
        r.volatility = 0.2;
        r.intRate = 0.05;
        r.divYield = 0.02;
        r.numSteps = exerciseType == 0 ? 1 : 10;
        r.optionType = 1;
        r.exerciseType = exerciseType;
        r.simulation.numPaths = numPaths;
        r.simulation.numLSPaths = sobol ? 10 : 1;
        r.simulation.numBasisFunctions = 4;
        r.simulation.greeksCode = 1110;
        r.simulation.greeksMethod = 1;
        r.simulation.useSobol = sobol;
        r.simulation.multiThreaded = true;
        tarvic_test::McArrays a;
        tarvic::priceOptionMC(r, {a.value.data(), a.delta.data(), a.gamma.data(), a.vega.data(),
                                  a.theta.data(), &a.rowCount});
    });
}

std::string asianMonteCarloCall()
{
    return guarded([&] {
        tarvic::AsianMcRequest r;
        r.spot = 100.0;
        r.strike = 100.0;
        r.expiry = 1.0;
        r.volatility = 0.2;
        r.intRate = 0.05;
        r.divYield = 0.02;
        r.numFixings = 12;
        r.simulation.numPaths = 1;
        r.simulation.greeksCode = 1110;
        r.simulation.greeksMethod = 2;
        r.simulation.multiThreaded = true;
        tarvic_test::McArrays a;
        tarvic::priceAsianOptionMC(r, {a.value.data(), a.delta.data(), a.gamma.data(), a.vega.data(),
                                       a.theta.data(), &a.rowCount});
    });
}

bool underAddressSpaceLimit()
{
    rlimit limit{};
    return getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY;
}

TEST(MemoryProbes, SmallCallsAskTheSystemNothing)
{
    if (underAddressSpaceLimit())
        GTEST_SKIP() << "under an address-space limit the team threads' room is asked for";
    const struct {
        const char* what;
        std::function<std::string()> call;
    } cases[] = {
        {"European put 50/50", [] { return vanillaCall(0, 50); }},
        {"American put 300/300, solves side by side", [] { return vanillaCall(1, 300); }},
        {"down-and-out call", [] { return barrierCall(90.0, 0.0, 0, true, 50); }},
        {"down-and-in put", [] { return barrierCall(90.0, 0.0, 1, false, 50); }},
        {"up-and-in call 300/300", [] { return barrierCall(0.0, 120.0, 0, false, 300, 300); }},
        {"double knock-in put", [] { return barrierCall(80.0, 120.0, 1, false, 50); }},
        {"fixed-strike Asian put", [] { return asianCall(*asianOption(0.2, 30, 12, 100.0)); }},
        {"1000 pseudo-random paths", [] { return monteCarloCall(0, false, 1); }},
        {"2^10 Sobol points", [] { return monteCarloCall(0, true, 10); }},
        {"American put on 1000 paths", [] { return monteCarloCall(1, false, 1); }},
        {"American put on 2^10 Sobol points", [] { return monteCarloCall(1, true, 10); }},
        {"Asian on 1000 paths", [] { return asianMonteCarloCall(); }},
    };
    for (const auto& k : cases) {
        const uint64_t before = tarvic::memoryProbeCount();
        EXPECT_EQ(k.call(), "") << k.what;
        EXPECT_EQ(tarvic::memoryProbeCount() - before, 0u) << k.what;
    }
}

TEST(MemoryProbes, CallsThatCouldComeNearTheRoomAskOnce)
{
    // A floating-strike Asian whose planes take some 20 MB, with theta and
    // vega: three valuations, each checking its planes against the room.
    const std::unique_ptr<tarvic::DornTechAsianOption> asian = asianOption(0.8, 100, 2, 0.0);
    ASSERT_GT(static_cast<double>(asian->valuationBytes()), tarvic::kProbeFloorBytes);
    uint64_t before = tarvic::memoryProbeCount();
    EXPECT_EQ(asianCall(*asian), "");
    EXPECT_EQ(tarvic::memoryProbeCount() - before, 1u) << "Asian with theta and vega";

    // A knock-in whose records cannot fit is still refused by the room.
    before = tarvic::memoryProbeCount();
    const std::string refused = barrierCall(0.0, 105.0, 0, false, 20, 2147483647);
    EXPECT_EQ(refused.rfind("The knock-in solve you have requested requires more memory", 0), 0u) << refused;
    EXPECT_EQ(tarvic::memoryProbeCount() - before, 1u) << "knock-in of 2^31 - 1 time steps";
}

}  // namespace
