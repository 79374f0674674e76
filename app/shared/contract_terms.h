// The contract lists' meanings, named once: the payoff, exercise style and
// option type a pricer window's lists offer, and the questions the program
// keeps asking about them.
#pragma once

#include "shared/solver_mode.h"

#include <cstdint>

namespace tarvic {

// The payoff list, in its fixed order: the list index is the value.
enum class Payoff : int {
    Vanilla = 0,
    UpAndOut = 1,
    DownAndOut = 2,
    UpAndIn = 3,
    DownAndIn = 4,
    DoubleOut = 5,
    DoubleIn = 6,
    AsianFixedStrike = 7,
    AsianFloatingStrike = 8,
};

// The payoff at an index of the list (-1, nothing chosen, is no payoff of
// the list and answers every question below with false).
constexpr Payoff payoffAt(int listIndex)
{
    return static_cast<Payoff>(listIndex);
}

constexpr bool isBarrier(Payoff p)
{
    return p >= Payoff::UpAndOut && p <= Payoff::DoubleIn;
}
constexpr bool isDoubleBarrier(Payoff p)
{
    return p == Payoff::DoubleOut || p == Payoff::DoubleIn;
}
constexpr bool hasUpBarrier(Payoff p)
{
    return p == Payoff::UpAndOut || p == Payoff::UpAndIn || isDoubleBarrier(p);
}
constexpr bool hasDownBarrier(Payoff p)
{
    return p == Payoff::DownAndOut || p == Payoff::DownAndIn || isDoubleBarrier(p);
}
constexpr bool isKnockOut(Payoff p)
{
    return p == Payoff::UpAndOut || p == Payoff::DownAndOut || p == Payoff::DoubleOut;
}
constexpr bool isKnockIn(Payoff p)
{
    return p == Payoff::UpAndIn || p == Payoff::DownAndIn || p == Payoff::DoubleIn;
}
constexpr bool isAsian(Payoff p)
{
    return p == Payoff::AsianFixedStrike || p == Payoff::AsianFloatingStrike;
}
constexpr bool isFloatingStrike(Payoff p)
{
    return p == Payoff::AsianFloatingStrike;
}

// The exercise styles. The finite-difference window lists all three
// (European, American, Bermudan); the Monte Carlo window lists European and
// Bermudan, its early exercise.
enum class Exercise { European, American, Bermudan };

// The style at an index of the exercise list of a window of the solver
// (kSolverPde, or any other value for Monte Carlo); no index chosen is
// European.
constexpr Exercise exerciseAt(int32_t solver, int listIndex)
{
    if (listIndex == 1)
        return solver == kSolverPde ? Exercise::American : Exercise::Bermudan;
    if (listIndex == 2 && solver == kSolverPde)
        return Exercise::Bermudan;
    return Exercise::European;
}

// Where a style stands in the exercise list of a window of the solver; the
// Monte Carlo list offers Bermudan for American.
constexpr int exerciseIndex(int32_t solver, Exercise e)
{
    if (e == Exercise::European)
        return 0;
    if (solver != kSolverPde)
        return 1;
    return e == Exercise::American ? 1 : 2;
}

constexpr bool isEarlyExercise(Exercise e)
{
    return e != Exercise::European;
}

// The periods a contract has from now to expiry: the exercise dates of a
// Bermudan (the Asian ones exercise at their fixings), the monitoring dates
// of a barrier not watched continuously.
constexpr bool hasExercisePeriods(Payoff p, Exercise e)
{
    return e == Exercise::Bermudan && !isAsian(p);
}
constexpr bool hasMonitoringPeriods(Payoff p, bool continuousMonitoring)
{
    return isBarrier(p) && !continuousMonitoring;
}

// The option-type list: the list index is the code the library takes.
enum class OptionType : int32_t { Call = 0, Put = 1 };

}  // namespace tarvic
