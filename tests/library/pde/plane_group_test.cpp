// Planes solved eight side by side against the same planes solved one at a
// time by DornTechOption::solvePde, for every plane type, early-exercise
// solver and scheme, with a group that is not full, on both step kernels.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "pde/dorn_tech_option_as.h"
#include "pde/plane_group.h"
#include "pde/step_kernels.h"

using tarvic::DornTechOption;
using tarvic::DornTechOptionAS;
using tarvic::PlaneGroupSolver;

namespace {

constexpr int kPlanes = 11;  // one full group and one of three

// 0 European, else American with amerSolver = solver - 1.
using Case = std::tuple<int32_t /*type*/, int32_t /*solver*/, int32_t /*scheme*/>;

struct Planes {
    int32_t type, exercise, amerSolver, scheme;
    bool floating() const { return type <= DornTechOption::Put; }

    DornTechOptionAS make(double strike) const
    {
        return DornTechOptionAS(strike, 12, 0.25, 0.3, 0.06, 0.03, 24, type, exercise, scheme,
                                amerSolver, 0.0, true, floating());
    }
};

std::vector<double> planeGrid()
{
    DornTechOptionAS g(100.0, 12, 0.25, 0.3, 0.06, 0.03, 24, DornTechOption::Call, 0, 2, 2, 0.0,
                       true, true);
    std::vector<double> nodes;
    g.copyGrid(nodes);
    return nodes;
}

// Plane j: strike (the average for a floating strike, a cash amount
// otherwise) and start values of the shape the planes have.
double strikeOf(const Planes& p, int j) { return p.floating() ? 10.0 * j : 2.5 * j; }

std::vector<double> startOf(const Planes& p, const std::vector<double>& S, int j)
{
    std::vector<double> v(S.size());
    const double A = 10.0 * j;
    for (size_t i = 0; i < S.size(); ++i) {
        const double call = std::max(S[i] - A, 0.0), put = std::max(A - S[i], 0.0);
        const double bend = 0.5 * std::exp(-std::pow((S[i] - 100.0) / 30.0, 2));
        v[i] = (p.type == DornTechOption::Put || p.type == DornTechOption::PlanePut ? put : call) +
               bend + (p.floating() ? 0.0 : 2.5 * j);
    }
    return v;
}

std::vector<std::vector<double>> onePlaneAtATime(const Planes& p, const std::vector<double>& S)
{
    std::vector<std::vector<double>> out;
    for (int j = 0; j < kPlanes; ++j) {
        DornTechOptionAS plane = p.make(strikeOf(p, j));
        plane.setGridAndValues(startOf(p, S, j), S);
        tarvic::PdeResults r;
        plane.solvePde(r, false, 0.0, nullptr, 0.0, nullptr);
        out.push_back(r.value);
    }
    return out;
}

std::vector<std::vector<double>> sideBySide(const Planes& p, const std::vector<double>& S)
{
    DornTechOptionAS prototype = p.make(strikeOf(p, 0));
    prototype.setGridAndValues(std::vector<double>(S.size(), 0.0), S);
    const PlaneGroupSolver groups(prototype);
    PlaneGroupSolver::Workspace ws;
    groups.prepare(ws);
    std::vector<std::vector<double>> out(kPlanes, std::vector<double>(S.size(), -1.0));
    for (int first = 0; first < kPlanes; first += tarvic::kPlaneLanes) {
        const int count = std::min(tarvic::kPlaneLanes, kPlanes - first);
        double strikes[tarvic::kPlaneLanes];
        double* results[tarvic::kPlaneLanes];
        for (int lane = 0; lane < count; ++lane) {
            const std::vector<double> start = startOf(p, S, first + lane);
            std::copy(start.begin(), start.end(), ws.start(lane, S.size()));
            strikes[lane] = strikeOf(p, first + lane);
            results[lane] = out[static_cast<size_t>(first + lane)].data();
        }
        groups.solve(count, strikes, results, ws);
    }
    return out;
}

class PlaneGroup : public ::testing::TestWithParam<Case> {
protected:
    void TearDown() override { tarvic::useBaselineKernels(false); }
};

TEST_P(PlaneGroup, EachLaneStepsAsOnePlaneSolve)
{
    const auto [type, solver, scheme] = GetParam();
    const Planes p{type, solver == 0 ? 0 : 1, solver == 0 ? 2 : solver - 1, scheme};
    const std::vector<double> S = planeGrid();
    for (bool baseline : {true, false}) {
        tarvic::useBaselineKernels(baseline);
        const auto single = onePlaneAtATime(p, S);
        const auto grouped = sideBySide(p, S);
        for (int j = 0; j < kPlanes; ++j) {
            for (size_t i = 0; i < S.size(); ++i) {
                const double a = single[static_cast<size_t>(j)][i];
                const double b = grouped[static_cast<size_t>(j)][i];
                // The lanes do the scalar operations in the same order, and
                // projected SOR never leaves the baseline: equal to the bit
                // there; the wide kernels may round their vectors apart.
                if (baseline || solver == 1 || solver == 2)
                    ASSERT_EQ(a, b) << "plane " << j << " node " << i << " baseline " << baseline;
                else
                    ASSERT_NEAR(a, b, 1e-13 * std::max(1.0, std::fabs(a)))
                        << "plane " << j << " node " << i;
            }
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    static const char* types[] = {"FloatingCall", "FloatingPut", "FixedCall", "FixedPut"};
    static const char* solvers[] = {"European", "Sor", "TurboSor", "BrennanSchwartz"};
    static const char* schemes[] = {"Implicit", "CrankNicolson", "Rannacher"};
    return std::string(types[std::get<0>(info.param)]) + solvers[std::get<1>(info.param)] +
           schemes[std::get<2>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(SideBySide, PlaneGroup,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(0, 1, 2)),
                         caseName);

TEST(PlaneGroupSolver, RefusesWhatIsNotAPlane)
{
    const std::vector<double> S = planeGrid();
    DornTechOptionAS plane(5.0, 12, 0.25, 0.3, 0.06, 0.03, 24, DornTechOption::PlaneCall, 0, 2,
                           2, 0.0, true, false);
    plane.setGridAndValues(std::vector<double>(S.size(), 0.0), S);
    plane.lowerValue = 3.0;  // a given bottom: not what a plane has
    EXPECT_THROW(PlaneGroupSolver{plane}, std::logic_error);

    plane.lowerValue = -1.0;
    const PlaneGroupSolver groups(plane);
    PlaneGroupSolver::Workspace ws;
    groups.prepare(ws);
    double strikes[tarvic::kPlaneLanes] = {1.0, -2.0};
    std::vector<double> a(S.size()), b(S.size());
    double* out[tarvic::kPlaneLanes] = {a.data(), b.data()};
    try {
        groups.solve(2, strikes, out, ws);
        FAIL() << "a negative strike was solved";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Invalid input: strike must not be negative.");
    }
    strikes[1] = 2.0;
    EXPECT_THROW(groups.solve(0, strikes, out, ws), std::logic_error);
    EXPECT_THROW(groups.solve(tarvic::kPlaneLanes + 1, strikes, out, ws), std::logic_error);
}

}  // namespace
