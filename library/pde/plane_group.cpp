#include "pde/plane_group.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "common/require.h"
#include "pde/projected_sor.h"
#include "pde/step_kernels.h"

namespace tarvic {

namespace {

// The lane arithmetic of this file runs on the baseline; the elimination
// itself goes through the dispatched kernels.
using L = BaselineLanes;

L* lanes(std::vector<LaneBlock>& v) { return asLanes<L>(v.data()->lane); }

double* doubles(std::vector<LaneBlock>& v) { return v.data()->lane; }

const double* raw(const L* p) { return reinterpret_cast<const double*>(p); }
double* raw(L* p) { return reinterpret_cast<double*>(p); }

}  // namespace

PlaneGroupSolver::PlaneGroupSolver(DornTechOptionAS& plane)
{
    plane.checkGrid();
    if (plane.numPeriods > 1 || plane.bermudan || plane.monitoringHook ||
        plane.upperBoundary != DornTechOption::Linear || plane.lowerValue != -1.0 ||
        plane.upperValue != -1.0 || plane.values.size() != plane.grid.size())
        throw std::logic_error("PlaneGroupSolver: not a plane of an Asian option.");
    if (plane.american)
        requireCode(plane.amerSolver, DornTechOption::ProjectedSor,
                    DornTechOption::BrennanSchwartz, "amerSolver");

    // As solvePde sets a plane up: the bottom is extrapolated (no value was
    // given for it) unless the plane holds it (lowerFixed 1: at S = 0 the
    // equation is dV/dt = rV, so the start value decays), and a Rannacher
    // start needs five steps.
    if (plane.lowerFixed != 1)
        plane.lowerFixed = 0;
    if (plane.discretization == DornTechOption::Rannacher && plane.timeSteps < 5)
        plane.discretization = DornTechOption::CrankNicolson;

    grid_ = plane.grid;
    nodes_ = grid_.size();
    optionType_ = plane.optionType;
    discretization_ = plane.discretization;
    timeSteps_ = plane.timeSteps;
    assetSteps_ = plane.assetSteps;
    dt_ = plane.expiry / plane.timeSteps;
    intRate_ = plane.intRate;
    american_ = plane.american;
    sor_ = american_ && plane.amerSolver != DornTechOption::BrennanSchwartz;
    turbo_ = american_ && plane.amerSolver == DornTechOption::ProjectedTurboSor;
    finalQuarter_ = plane.finalQuarterSteps && discretization_ == DornTechOption::Rannacher &&
                    american_ && (plane.divYield != 0.0 || optionType_ > DornTechOption::Put);
    putLikeLowerEnd_ = plane.lowerFixed == 0 && (optionType_ == DornTechOption::Put ||
                                                optionType_ == DornTechOption::PlanePut);
    sweepCap_ = maxSorSweeps(plane.nodeCount);

    // The coefficients of every step size the clock will take, in order.
    const int32_t m = static_cast<int32_t>(nodes_) - 2;
    const bool upward = american_ && (optionType_ == DornTechOption::Put ||
                                      optionType_ == DornTechOption::PlaneCall);
    auto add = [&](double dt, int32_t mode) {
        StepCoefficients c;
        c.lower.assign(nodes_, 0.0);
        c.diag.assign(nodes_, 0.0);
        c.upper.assign(nodes_, 0.0);
        plane.setupCoefficients(c.lower, c.diag, c.upper, dt, mode);
        c.factors.resize(nodes_);
        if (upward)
            factorizeUpward(m, c.lower.data(), c.diag.data(), c.upper.data(), c.factors);
        else
            factorizeDownward(m, c.lower.data(), c.diag.data(), c.upper.data(), c.factors);
        sets_.push_back(std::move(c));
    };
    StepClock clock = makeClock();
    add(clock.dt(), clock.startMode());
    for (; clock.running(); clock.next()) {
        if (clock.endQuarterStart())
            add(clock.dt(), 1);
        if (clock.beginFinalQuarterSteps())
            add(clock.dt(), 0);
    }
}

StepClock PlaneGroupSolver::makeClock() const
{
    return StepClock(timeSteps_, timeSteps_, discretization_, assetSteps_, dt_, false,
                     finalQuarter_);
}

void PlaneGroupSolver::prepare(Workspace& ws) const
{
    for (std::vector<LaneBlock>* v :
         {&ws.level[0], &ws.level[1], &ws.level[2], &ws.level[3], &ws.scratch, &ws.floor, &ws.rhs})
        if (v->size() != nodes_)
            v->assign(nodes_, LaneBlock{});
    ws.starts.resize(nodes_ * kPlaneLanes);
}

void PlaneGroupSolver::solve(int count, const double* strikes, double* const* out,
                             Workspace& ws) const
{
    if (count < 1 || count > kPlaneLanes)
        throw std::logic_error("PlaneGroupSolver: one to eight planes at a time.");
    for (int k = 0; k < count; ++k)
        requireNonNegative(strikes[k], "strike");
    prepare(ws);
    const std::size_t n = nodes_;
    const int32_t N = static_cast<int32_t>(n) - 1;
    const int32_t m = N - 1;
    const double* S = grid_.data();

    // Lanes past count repeat the last plane.
    double strike[kPlaneLanes];
    for (int k = 0; k < kPlaneLanes; ++k)
        strike[k] = strikes[std::min(k, count - 1)];

    // Start values into the lanes; the history as solvePde has it.
    for (int k = 0; k < kPlaneLanes; ++k) {
        const double* start = ws.start(std::min(k, count - 1), n);
        for (std::size_t i = 0; i < n; ++i)
            ws.level[0][i].lane[k] = start[i];
    }
    std::copy(ws.level[0].begin(), ws.level[0].end(), ws.level[1].begin());
    std::fill(ws.level[2].begin(), ws.level[2].end(), LaneBlock{});
    std::fill(ws.level[3].begin(), ws.level[3].end(), LaneBlock{});

    // Exercise values: the cash strike of a fixed-strike plane, the vanilla
    // payoff of a floating-strike one.
    L* floor = lanes(ws.floor);
    if (american_) {
        for (std::size_t i = 0; i < n; ++i) {
            for (int k = 0; k < kPlaneLanes; ++k) {
                const double K = strike[k];
                double x = K;
                if (optionType_ == DornTechOption::Call)
                    x = S[i] > K ? S[i] - K : 0.0;
                else if (optionType_ == DornTechOption::Put)
                    x = K > S[i] ? K - S[i] : 0.0;
                ws.floor[i].lane[k] = x;
            }
        }
    }
    double scale[kPlaneLanes];
    for (int k = 0; k < kPlaneLanes; ++k)
        scale[k] = optionType_ <= DornTechOption::Put && strike[k] > 0.0 ? strike[k] : 1.0;

    double lowerValue[kPlaneLanes];
    std::fill(lowerValue, lowerValue + kPlaneLanes, -1.0);
    Relaxation relaxation[kPlaneLanes];

    L* V = lanes(ws.level[0]);
    L* V1 = lanes(ws.level[1]);
    L* V2 = lanes(ws.level[2]);
    L* V3 = lanes(ws.level[3]);
    L* rhs = lanes(ws.rhs);
    const StepKernels& kernels = stepKernels();
    const double h1Top = S[N] - S[N - 1];
    const double h0Top = S[N - 1] - S[N - 2];
    const double h0Bottom = S[1] - S[0];
    const double h1Bottom = S[2] - S[1];

    std::size_t set = 0;
    StepClock clock = makeClock();
    for (; clock.running(); clock.next()) {
        if (clock.endQuarterStart())
            ++set;
        clock.advance();
        const StepCoefficients& c = sets_[set];
        const double* lower = c.lower.data();
        const double* diag = c.diag.data();
        const double* upper = c.upper.data();

        // The level just solved becomes the old one.
        std::swap(V, V1);
        const L* Vold = V1;
        startNewLevel(N, clock.step(), sor_, turbo_, Vold, V2, V3, V);

        const bool implicitStep = clock.implicitStep();
        L topRow = implicitStep ? -Vold[N - 1]
                                : -(lower[N - 1] * Vold[N - 2] +
                                    (diag[N - 1] + 2.0) * Vold[N - 1] + upper[N - 1] * Vold[N]);

        // Boundary values: the bottom decays from the plane's start value;
        // a put's top is 0, other tops keep what they hold.
        const double discount = std::exp(-intRate_ * clock.tau());
        LaneBlock& bottom = reinterpret_cast<LaneBlock&>(V[0]);
        for (int k = 0; k < kPlaneLanes; ++k) {
            if (lowerValue[k] == -1.0)
                lowerValue[k] = bottom.lane[k];
            bottom.lane[k] = discount * lowerValue[k];
        }
        if (optionType_ == DornTechOption::Put)
            V[N] = L::all(0.0);

        long sweeps[kPlaneLanes] = {};
        if (!sor_) {
            Projection projection = Projection::None;
            if (american_) {
                V[0] = maxKeepingNaN(V[0], floor[0]);
                V[N] = maxKeepingNaN(V[N], floor[N]);
                projection = c.factors.upward ? Projection::Upward : Projection::Downward;
            }
            const L bottomRow =
                (implicitStep ? -Vold[1]
                              : -(lower[1] * Vold[0] + (diag[1] + 2.0) * Vold[1] +
                                  upper[1] * Vold[2])) -
                lower[1] * V[0];
            topRow = topRow - upper[N - 1] * V[N];
            const EliminationStep step{m,
                                       lower,
                                       upper,
                                       c.factors.centre.data(),
                                       c.factors.multiplier.data(),
                                       c.factors.recipPivot.data(),
                                       c.factors.scaledOff.data(),
                                       raw(Vold),
                                       doubles(ws.floor),
                                       raw(&bottomRow),
                                       raw(&topRow),
                                       doubles(ws.scratch),
                                       raw(V)};
            kernels.pick(true, !implicitStep, projection)(step);
        } else {
            stencilRightHandSide(N, implicitStep, lower, diag, upper, Vold, rhs);
            rhs[N - 1] = topRow;
            for (std::size_t i = 0; i < n; ++i)
                V[i] = maxKeepingNaN(V[i], floor[i]);
            const double tolerance = clock.tolerance();
            bool active[kPlaneLanes];
            bool anyActive = false;
            for (int k = 0; k < kPlaneLanes; ++k) {
                active[k] = std::sqrt(1.0 / N) / scale[k] > tolerance;
                anyActive = anyActive || active[k];
            }
            while (anyActive) {
                L omega{}, use{};
                for (int k = 0; k < kPlaneLanes; ++k) {
                    if (active[k] && sweeps[k] == sweepCap_)
                        sorStuck(sweepCap_);
                    omega.set(k, relaxation[k].omega);
                    use.set(k, active[k] ? 1.0 : 0.0);
                }
                const L sum = sorSweep(N, lower, diag, upper, rhs, floor, omega, use, V);
                anyActive = false;
                for (int k = 0; k < kPlaneLanes; ++k) {
                    if (!active[k])
                        continue;
                    ++sweeps[k];
                    const double error = std::sqrt(sum[k] / N) / scale[k];
                    if (!std::isfinite(error))
                        sorDiverged();
                    active[k] = error > tolerance;
                    anyActive = anyActive || active[k];
                }
            }
        }

        if (!clock.lastStep()) {
            std::swap(V3, V2);
            std::swap(V2, V1);
            if (sor_)
                for (int k = 0; k < kPlaneLanes; ++k)
                    relaxation[k].adapt(sweeps[k]);
        }

        // Linear top; a put-like plane extrapolates its bottom too.
        V[N] = ((h0Top + h1Top) / h0Top) * V[N - 1] - (h1Top / h0Top) * V[N - 2];
        if (putLikeLowerEnd_)
            V[0] = ((h0Bottom + h1Bottom) / h1Bottom) * V[1] - (h0Bottom / h1Bottom) * V[2];

        if (clock.beginFinalQuarterSteps())
            ++set;
    }

    for (int k = 0; k < count; ++k) {
        double* o = out[k];
        for (std::size_t i = 0; i < n; ++i) {
            const double v = V[i][k];
            o[i] = v > 2e-9 ? v : 0.0;
        }
    }
}

}  // namespace tarvic
