// Time stepping of DornTechOption: a theta scheme stepped back from expiry,
// with Rannacher quarter steps, early exercise by projected SOR or by the
// Brennan–Schwartz elimination, exercise and monitoring at period ends, and
// the recording of the solution at given asset levels.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "common/require.h"
#include "pde/dorn_tech_option.h"
#include "pde/projected_sor.h"
#include "pde/step_clock.h"
#include "pde/step_kernels.h"
#include "pde/tridiagonal.h"

namespace tarvic {

void DornTechOption::solvePde(PdeResults& results, bool allOutputs, double level1,
                              std::vector<double>* record1, double level2,
                              std::vector<double>* record2,
                              std::vector<double>* recordTimes)
{
    checkInputs();

    // Set-up.
    buildGrid();
    checkGrid();
    const int32_t N = nodeCount - 1;
    const size_t nodes = static_cast<size_t>(nodeCount);
    const double* S = grid.data();
    double dt = expiry / timeSteps;

    if (lowerFixed == -1)
        lowerFixed = lowerValue > -1.0 ? 1 : 0;

    int32_t stepsPerPeriod = timeSteps;
    if (numPeriods > 1) {
        stepsPerPeriod = std::max(5, static_cast<int32_t>(std::trunc(
                                         static_cast<double>(timeSteps) / numPeriods + 0.5)));
        const long long total = static_cast<long long>(numPeriods) * stepsPerPeriod;
        if (total > 100'000'000LL)
            fail("Invalid input: numPeriods times the steps per period exceeds 100000000 time "
                 "steps.");
        timeSteps = static_cast<int32_t>(total);
        dt = (expiry / numPeriods) / stepsPerPeriod;
    }

    if (discretization == Rannacher && timeSteps < 5)
        discretization = CrankNicolson;

    if (allOutputs) {
        results.grid.assign(nodes, 0.0);
        results.value.assign(nodes, 0.0);
        results.delta.assign(nodes, 0.0);
        results.gamma.assign(nodes, 0.0);
        results.theta.assign(nodes, 0.0);
    } else {
        results.value.assign(nodes, 0.0);
    }

    struct Recording {
        double level;
        std::vector<double>* record;
        std::vector<TimedRecord> timed;
    };
    Recording recordings[2] = {{level1, record1, {}}, {level2, record2, {}}};
    const bool timedRecords = bermudan && discretization == Rannacher;
    for (Recording& rec : recordings) {
        if (rec.level > 0.0 && rec.record) {
            rec.record->clear();
            rec.record->push_back(0.0);
            if (timedRecords)
                rec.timed.assign(1, TimedRecord(0.0, 0.0));
        } else {
            rec.level = 0.0;
        }
    }
    const bool anyRecording = recordings[0].level > 0.0 || recordings[1].level > 0.0;
    if (recordTimes) {
        recordTimes->clear();
        if (anyRecording)
            recordTimes->push_back(0.0);
    }

    payoff();
    if (values.size() != nodes)
        throw std::logic_error("The start values do not match the grid.");

    // Time levels: values holds the newest, V1, V2 and V3 the levels one,
    // two and three back (theta and the turbo start guess read them). Each
    // step hands the vectors on by swapping them, never by copying.
    std::vector<double> V1(values), V2(nodes, 0.0), V3(nodes, 0.0);
    std::vector<double> intrinsic(nodes, 0.0);
    if (optionType == Call) {
        for (size_t i = 0; i < nodes; ++i)
            intrinsic[i] = S[i] > strike ? S[i] - strike : 0.0;
    } else if (optionType == Put) {
        for (size_t i = 0; i < nodes; ++i)
            intrinsic[i] = strike > S[i] ? strike - S[i] : 0.0;
    } else {
        // A plane of a fixed-strike Asian: exercise pays the cash amount.
        intrinsic.assign(nodes, strike);
    }

    std::vector<double> lowerV(nodes, 0.0), diagV(nodes, 0.0), upperV(nodes, 0.0),
        rhsV(nodes, 0.0);
    double* lower = lowerV.data();
    double* diag = diagV.data();
    double* upper = upperV.data();
    double* rhs = rhsV.data();
    TridiagonalFactors factors;
    factors.resize(nodes);
    const int32_t m = N - 1;
    const bool upwardElimination = american && (optionType == Put || optionType == PlaneCall);
    auto factorize = [&] {
        if (upwardElimination)
            factorizeUpward(m, lower, diag, upper, factors);
        else
            factorizeDownward(m, lower, diag, upper, factors);
    };
    const bool sor = american && (amerSolver == ProjectedSor || amerSolver == ProjectedTurboSor);
    const bool turbo = american && amerSolver == ProjectedTurboSor;
    const long sweepCap = maxSorSweeps(nodeCount);
    const StepKernels& kernels = stepKernels();

    const bool finalQuarter = finalQuarterSteps && discretization == Rannacher && american &&
                              (divYield != 0.0 || optionType > Put);
    // A call or put whose exercise never holds is solved as its European:
    // the quarter steps that smooth what exercise leaves behind are taken
    // only where it holds (the planes of an Asian, whose start values come
    // from outside, keep them everywhere, as the plane groups step them).
    const bool plainPayoff = (optionType == Call || optionType == Put) && !startsFromOutside();
    // Whether the solution sits on a positive exercise value at a node
    // inside the grid, or an end's own value (a knocked-out end) lies below
    // its exercise value.
    const auto exerciseHolds = [&] {
        const double* V = values.data();
        for (size_t i = 1; i + 1 < nodes; ++i)
            if (intrinsic[i] > 0.0 && V[i] <= intrinsic[i])
                return true;
        return (lowerValue > -1.0 && lowerValue < intrinsic[0]) ||
               (upperValue > -1.0 && upperValue < intrinsic[nodes - 1]);
    };
    const bool periodic = bermudan || monitoringHook;
    StepClock clock(timeSteps, stepsPerPeriod, discretization, assetSteps, dt, periodic,
                    finalQuarter);
    setupCoefficients(lowerV, diagV, upperV, clock.dt(), clock.startMode());
    if (!american || amerSolver == BrennanSchwartz)
        factorize();

    Relaxation relaxation;
    // The SOR error is measured relative to the strike (a plane's strike may be 0).
    const double scale = optionType <= Put && strike > 0.0 ? strike : 1.0;
    double savedTopUpper = 0.0;
    int32_t level = 1;

    for (; clock.running(); clock.next()) {
        if (clock.endQuarterStart()) {
            setupCoefficients(lowerV, diagV, upperV, clock.dt(), 1);
            if (!american || amerSolver == BrennanSchwartz)
                factorize();
        }
        clock.advance();
        const double tau = clock.tau();

        // The slope condition at the top was folded into row N-1.
        if (upperBoundary == GivenSlope && upper[N - 1] != 0.0) {
            savedTopUpper = upper[N - 1];
            upper[N - 1] = 0.0;
        }

        // The level just solved becomes the old one.
        V1.swap(values);
        const double* Vold = V1.data();
        double* V = values.data();
        startNewLevel(N, clock.step(), sor, turbo, Vold, V2.data(), V3.data(), V);

        // Right-hand side of the top row from the old level.
        const bool implicitStep = clock.implicitStep();
        double topRow = implicitStep ? -Vold[N - 1]
                                     : -(lower[N - 1] * Vold[N - 2] +
                                         (diag[N - 1] + 2.0) * Vold[N - 1] +
                                         upper[N - 1] * Vold[N]);
        if (upperBoundary == GivenSlope) {
            const double u = savedTopUpper;
            if (!implicitStep)
                topRow = -((lower[N - 1] - u) * Vold[N - 2] + u * Vold[N] +
                           (diag[N - 1] + 2.0) * Vold[N - 1]);
            topRow -= (S[N] - S[N - 2]) * u * upperSlope;
        }

        // Values at both ends of the new level (a Bermudan decays its ends
        // over the step just taken).
        boundaryValues(bermudan ? clock.dt() : tau, level);

        // The new level: elimination (European, or Brennan–Schwartz with the
        // projection), or projected SOR.
        long sweeps = 0;
        if (!sor) {
            Projection projection = Projection::None;
            if (american) {
                V[0] = std::max(V[0], intrinsic[0]);
                V[N] = std::max(V[N], intrinsic[N]);
                projection = factors.upward ? Projection::Upward : Projection::Downward;
            }
            const double bottomRow =
                (implicitStep ? -Vold[1]
                              : -(lower[1] * Vold[0] + (diag[1] + 2.0) * Vold[1] +
                                  upper[1] * Vold[2])) -
                lower[1] * V[0];
            topRow -= upper[N - 1] * V[N];
            const EliminationStep step{m,
                                       lower,
                                       upper,
                                       factors.centre.data(),
                                       factors.multiplier.data(),
                                       factors.recipPivot.data(),
                                       factors.scaledOff.data(),
                                       Vold,
                                       intrinsic.data(),
                                       &bottomRow,
                                       &topRow,
                                       rhs,
                                       V};
            kernels.pick(false, !implicitStep, projection)(step);
        } else {
            stencilRightHandSide(N, implicitStep, lower, diag, upper, Vold, rhs);
            rhs[N - 1] = topRow;
            for (size_t i = 0; i < nodes; ++i)
                V[i] = std::max(V[i], intrinsic[i]);
            const double tolerance = clock.tolerance();
            double error = std::sqrt(1.0 / N) / scale;
            while (error > tolerance) {
                if (sweeps == sweepCap)
                    sorStuck(sweepCap);
                const double sum = sorSweep(N, lower, diag, upper, rhs, intrinsic.data(),
                                            relaxation.omega, 1.0, V);
                ++sweeps;
                error = std::sqrt(sum / N) / scale;
                if (!std::isfinite(error))
                    sorDiverged();
            }
        }

        // Rotate the history; adapt the relaxation factor to the sweeps.
        if (!clock.lastStep()) {
            V3.swap(V2);
            V2.swap(V1);
            if (sor)
                relaxation.adapt(sweeps);
        }

        // One more time level solved.
        ++level;

        // Extrapolated end nodes.
        if (upperBoundary == GivenSlope) {
            V[N] = V[N - 2] + (S[N] - S[N - 2]) * upperSlope;
        } else if (upperBoundary == Linear) {
            const double h1 = S[N] - S[N - 1];
            const double h0 = S[N - 1] - S[N - 2];
            V[N] = ((h0 + h1) / h0) * V[N - 1] - (h1 / h0) * V[N - 2];
        }
        if (lowerFixed == 0 && putLikeLowerEnd()) {
            const double h0 = S[1] - S[0];
            const double h1 = S[2] - S[1];
            V[0] = ((h0 + h1) / h1) * V[1] - (h0 / h1) * V[2];
        }

        // Period end: exercise, monitoring, a fresh quarter-step start. The
        // quarter steps smooth the kinks a date leaves; a date at which no
        // node is exercised and nothing is monitored leaves none, and
        // quarter steps there would only damp the solution below the
        // European one.
        if (clock.periodEnd()) {
            bool exercised = false;
            if (bermudan)
                for (size_t i = 0; i < nodes; ++i)
                    if (intrinsic[i] > V[i]) {
                        V[i] = intrinsic[i];
                        exercised = exercised || (i > 0 && i < nodes - 1);
                    }
            if (monitoringHook)
                onMonitoringStep();
            if (upperValue > -1.0)
                V[N] = upperValue;
            if (lowerValue > -1.0)
                V[0] = lowerValue;
            if ((exercised || monitoringHook || !plainPayoff) && clock.restartQuarterSteps()) {
                setupCoefficients(lowerV, diagV, upperV, clock.dt(), 0);
                factorize();
            }
        }

        // The last full step as four implicit quarter steps, where the
        // exercise holds at some node: without it the solve is the
        // European one, which the quarter steps would only damp.
        if (clock.finalQuarterStepsDue() && (!plainPayoff || exerciseHolds()) &&
            clock.beginFinalQuarterSteps()) {
            setupCoefficients(lowerV, diagV, upperV, clock.dt(), 0);
            factorize();
        }

        // Recording at the barrier levels.
        if (recordTimes && anyRecording && !timedRecords)
            recordTimes->push_back(tau);
        for (Recording& rec : recordings) {
            if (rec.level <= 0.0)
                continue;
            const double v = valueAt(rec.level, tau);
            if (timedRecords)
                rec.timed.emplace_back(tau, v);
            else
                rec.record->push_back(v);
        }
    }
    const double* V = values.data();
    dt = clock.dt();

    // Timed records resampled onto the levels of a solve with one
    // quarter-step start, so every recording has 1 + timeSteps + 3 entries.
    if (timedRecords) {
        const double dtN = expiry / timeSteps;
        if (recordTimes && anyRecording) {
            double t = 0.0;
            for (int32_t j = 1; j <= timeSteps + 3; ++j) {
                t += j < 5 ? dtN / 4.0 : dtN;
                recordTimes->push_back(t);
            }
        }
        for (Recording& rec : recordings) {
            if (rec.level <= 0.0)
                continue;
            double t = 0.0;
            for (int32_t j = 1; j <= timeSteps + 3; ++j) {
                t += j < 5 ? dtN / 4.0 : dtN;
                rec.record->push_back(interpolateRecord(rec.timed, t));
            }
        }
    }

    if (!allOutputs) {
        for (size_t i = 0; i < nodes; ++i)
            results.value[i] = V[i] > 2e-9 ? V[i] : 0.0;
        return;
    }
    results.grid.assign(grid.begin(), grid.end());
    results.value.assign(values.begin(), values.end());
    gridGreeks(results.delta, results.gamma);
    checkDriftResolved(results.gamma);
    for (size_t i = 0; i < nodes; ++i)
        results.theta[i] = -(3.0 * V[i] - 4.0 * V1[i] + V2[i]) / (2.0 * dt) / 365.0;
}

}  // namespace tarvic
