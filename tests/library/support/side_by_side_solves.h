#pragma once

// The check shared by the finite-difference exports whose base solve and
// theta and vega re-solves run side by side on copies of the contract.

#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>
#include <omp.h>

#include "common/thread_team.h"
#include "support/caller_arrays.h"

namespace tarvic_test {

// Runs `call` with theta and vega at 1, 3 and 8 threads: every array keeps
// its bits, and theta and vega are the differences against separate calls
// at the bumped expiry and volatility (each copy solves exactly as a call
// of its own would). Call has calcTheta, calcVega, expiry, volatility,
// run(CallerArrays&) returning the result text, and frameSolveThreads(),
// the threads the frame hands the call's solves to (asked of the library's
// archive: the shared library keeps a copy of the frame of its own);
// lastIndexOf(call) is the last node index a run reported. At 3 and 8
// threads the solves must run side by side, so the check skips where the
// process may use a single core.
template <class Call, class LastIndexOf>
void expectSideBySideReSolvesKeepTheirBits(Call call, const char* what, LastIndexOf lastIndexOf)
{
    SCOPED_TRACE(what);
    if (tarvic::usableCores() < 2 || omp_get_thread_limit() < 2)
        GTEST_SKIP() << "one core or one thread: the solves cannot run side by side";
    call.calcTheta = 1;
    call.calcVega = 1;
    const int kept = omp_get_max_threads();
    const int threadCounts[3] = {1, 3, 8};
    CallerArrays byThreads[3];
    int32_t lastIndex = -1;
    for (int t = 0; t < 3; ++t) {
        Call run = call;
        omp_set_num_threads(threadCounts[t]);
        const std::string text = run.run(byThreads[t]);
        const int solveThreads = run.frameSolveThreads();
        omp_set_num_threads(kept);
        ASSERT_EQ(text, "");
        if (t > 0) {
            ASSERT_GE(solveThreads, 2) << threadCounts[t] << " threads: the solves ran one after another";
        }
        if (t == 0)
            lastIndex = lastIndexOf(run);
        ASSERT_EQ(lastIndexOf(run), lastIndex);
    }
    ASSERT_GE(lastIndex, 0);
    const auto n = static_cast<size_t>(lastIndex);
    for (int t = 1; t < 3; ++t)
        for (int k = 0; k < 6; ++k)
            for (size_t i = 0; i <= n; ++i)
                ASSERT_EQ(byThreads[0].a[k][i], byThreads[t].a[k][i])
                    << threadCounts[t] << " threads, array " << k << ", node " << i;

    Call later = call, wider = call;
    later.calcTheta = later.calcVega = wider.calcTheta = wider.calcVega = 0;
    const double T = call.expiry;
    later.expiry = T * 1.00001;
    wider.volatility += 1e-5;
    CallerArrays laterOut, widerOut;
    ASSERT_EQ(later.run(laterOut), "");
    ASSERT_EQ(wider.run(widerOut), "");
    ASSERT_EQ(lastIndexOf(later), lastIndex);
    ASSERT_EQ(lastIndexOf(wider), lastIndex);
    const CallerArrays& out = byThreads[2];
    for (size_t i = 0; i <= n; ++i) {
        const double base = out.a[kValue][i];
        ASSERT_EQ(out.a[kTheta][i], (base - laterOut.a[kValue][i]) / (T * 1e-5) / 365.0) << "node " << i;
        ASSERT_EQ(out.a[kVega][i], (widerOut.a[kValue][i] - base) / 1e-5 / 100.0) << "node " << i;
    }
}

}  // namespace tarvic_test
