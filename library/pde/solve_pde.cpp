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
#include "pde/tridiagonal.h"

namespace tarvic {

namespace {

// Sweeps one step of projected SOR may take before it is declared stuck.
// The sweeps a step needs grow about linearly with the nodes (some 2.5 per
// node on a fine stretched grid), so the cap grows with them.
long maxSorSweeps(int32_t nodeCount) { return std::max(20000L, 20L * nodeCount); }
constexpr double kOmegaMin = 1.0;
constexpr double kOmegaMax = 1.95;

// Tolerances of the SOR error measure for the Rannacher start and for the
// plain schemes; fine grids get a tenth of them.
double rannacherTolerance(int32_t assetSteps) { return assetSteps > 1000 ? 1e-12 : 1e-11; }
double plainTolerance(int32_t assetSteps)
{
    return assetSteps > 1000 ? 7.000000000000001e-12 : 7e-11;
}

}  // namespace

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
    double* V = values.data();

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

    // Start of the scheme.
    double tolerance;
    bool quarter = false;
    int32_t mode;
    if (discretization == Rannacher) {
        tolerance = rannacherTolerance(assetSteps);
        dt /= 4.0;
        quarter = true;
        mode = 0;
    } else {
        tolerance = plainTolerance(assetSteps);
        mode = discretization == CrankNicolson ? 1 : 0;
    }
    setupCoefficients(lowerV, diagV, upperV, dt, mode);
    if (!american || amerSolver == BrennanSchwartz)
        factorize();

    double omega = 1.25;
    double omegaStep = 0.05;
    long previousSweeps = 100000;

    const bool finalQuarter = finalQuarterSteps && discretization == Rannacher && american &&
                              (divYield != 0.0 || optionType > Put);
    bool finalQuarterBegun = false;
    const bool periodic = bermudan || monitoringHook;
    // The SOR error is measured relative to the strike (a plane's strike may be 0).
    const double scale = optionType <= Put && strike > 0.0 ? strike : 1.0;
    double savedTopUpper = 0.0;
    double tau = 0.0;
    int32_t level = 1;

    for (int32_t step = 1; step <= timeSteps; ++step) {
        // End of a quarter-step start: four quarter steps made one full
        // step, the scheme goes on as Crank–Nicolson. Once the final quarter
        // steps have begun they run to expiry.
        if (quarter && !finalQuarterBegun &&
            (step == 5 ||
             (periodic && ((step % stepsPerPeriod == 5 && step < timeSteps) ||
                           (stepsPerPeriod == 5 && step % 5 == 0))))) {
            tolerance = rannacherTolerance(assetSteps);
            dt *= 4.0;
            step -= 3;
            quarter = false;
            setupCoefficients(lowerV, diagV, upperV, dt, 1);
            if (!american || amerSolver == BrennanSchwartz)
                factorize();
        }

        // The time to go at the new level.
        tau += dt;

        // The slope condition at the top was folded into row N-1.
        if (upperBoundary == GivenSlope && upper[N - 1] != 0.0) {
            savedTopUpper = upper[N - 1];
            upper[N - 1] = 0.0;
        }

        // Right-hand side from the previous level.
        const bool implicitStep = discretization == Implicit || quarter;
        if (implicitStep) {
            for (int32_t i = 1; i < N; ++i)
                rhs[i] = -V[i];
        } else {
            for (int32_t i = 1; i < N; ++i)
                rhs[i] = -(lower[i] * V[i - 1] + (diag[i] + 2.0) * V[i] + upper[i] * V[i + 1]);
        }
        if (upperBoundary == GivenSlope) {
            const double u = savedTopUpper;
            if (!implicitStep)
                rhs[N - 1] = -((lower[N - 1] - u) * V[N - 2] + u * V[N] +
                               (diag[N - 1] + 2.0) * V[N - 1]);
            rhs[N - 1] -= (S[N] - S[N - 2]) * u * upperSlope;
        }

        // History, and the extrapolated start guess of turbo SOR.
        if (step == 2) {
            V1.assign(values.begin(), values.end());
            if (turbo)
                for (size_t i = 0; i < nodes; ++i)
                    V[i] = 2.0 * V[i] - V2[i];
        } else if (step > 2) {
            V1.assign(values.begin(), values.end());
            if (turbo)
                for (size_t i = 0; i < nodes; ++i)
                    V[i] = 3.0 * V[i] - 3.0 * V2[i] + V3[i];
        }

        // Values at both ends of the new level (a Bermudan decays its ends
        // over the step just taken).
        boundaryValues(bermudan ? dt : tau, level);

        // The new level: a tridiagonal solve, projected SOR, or the
        // Brennan-Schwartz elimination.
        long sweeps = 0;
        if (!american) {
            rhs[1] -= lower[1] * V[0];
            rhs[N - 1] -= upper[N - 1] * V[N];
            solveDownward(m, factors, upper, rhs, V);
        } else if (sor) {
            for (size_t i = 0; i < nodes; ++i)
                V[i] = std::max(V[i], intrinsic[i]);
            double error = std::sqrt(1.0 / N) / scale;
            while (error > tolerance) {
                if (sweeps == sweepCap)
                    throw std::runtime_error(
                        "Projected SOR did not converge within " + std::to_string(sweepCap) +
                        " sweeps in one time step. Try the Brennan-Schwartz solver or fewer "
                        "asset steps.");
                double sum = 0.0;
                for (int32_t i = 1; i < N; ++i) {
                    double y = (rhs[i] - lower[i] * V[i - 1] - upper[i] * V[i + 1]) / diag[i];
                    y = std::max(y, intrinsic[i]);
                    const double e = y - V[i];
                    V[i] += omega * e;
                    sum += e * e;
                }
                ++sweeps;
                error = std::sqrt(sum / N) / scale;
                if (!std::isfinite(error))
                    throw std::runtime_error("Projected SOR diverged in one time step.");
            }
        } else {
            V[0] = std::max(V[0], intrinsic[0]);
            V[N] = std::max(V[N], intrinsic[N]);
            rhs[1] -= lower[1] * V[0];
            rhs[N - 1] -= upper[N - 1] * V[N];
            if (factors.upward)
                solveProjectedUpward(m, factors, lower, rhs, intrinsic.data(), V);
            else
                solveProjectedDownward(m, factors, upper, rhs, intrinsic.data(), V);
        }

        // Rotate the history; adapt the relaxation factor to the sweeps.
        if (step != timeSteps) {
            V3.swap(V2);
            V2.assign(V1.begin(), V1.end());
            if (sor) {
                if (sweeps < previousSweeps && omega < kOmegaMax) {
                    omega += omegaStep;
                } else if (sweeps > previousSweeps && omega < kOmegaMax) {
                    omegaStep = -omegaStep;
                    omega += omegaStep;
                }
                omega = std::min(std::max(omega, kOmegaMin), kOmegaMax);
                previousSweeps = sweeps;
            }
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

        // Period end: exercise, monitoring, a fresh quarter-step start.
        if (periodic && step % stepsPerPeriod == 0 && step < timeSteps) {
            if (bermudan)
                for (size_t i = 0; i < nodes; ++i)
                    V[i] = std::max(V[i], intrinsic[i]);
            if (monitoringHook)
                onMonitoringStep();
            if (upperValue > -1.0)
                V[N] = upperValue;
            if (lowerValue > -1.0)
                V[0] = lowerValue;
            if (discretization == Rannacher) {
                tolerance = rannacherTolerance(assetSteps);
                dt /= 4.0;
                quarter = true;
                setupCoefficients(lowerV, diagV, upperV, dt, 0);
                factorize();
            }
        }

        // The last full step as four implicit quarter steps.
        if (finalQuarter && step == timeSteps - 1 && !quarter && step > 4) {
            dt /= 4.0;
            setupCoefficients(lowerV, diagV, upperV, dt, 0);
            factorize();
            step -= 3;
            quarter = true;
            finalQuarterBegun = true;
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
    for (size_t i = 0; i < nodes; ++i)
        results.theta[i] = -(3.0 * V[i] - 4.0 * V1[i] + V2[i]) / (2.0 * dt) / 365.0;
}

}  // namespace tarvic
