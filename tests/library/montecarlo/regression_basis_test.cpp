// The regression basis sets against Laguerre polynomials evaluated from
// their closed sum, and the choice of set by basis count.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "montecarlo/regression_basis.h"

namespace tarvic {
namespace {

// L_n(x) = sum_k C(n, k) (-x)^k / k!
double laguerre(int n, double x)
{
    double sum = 0.0, binomial = 1.0, power = 1.0, factorial = 1.0;
    for (int k = 0; k <= n; ++k) {
        if (k > 0) {
            binomial *= static_cast<double>(n - k + 1) / k;
            power *= -x;
            factorial *= k;
        }
        sum += binomial * power / factorial;
    }
    return sum;
}

double weighted(int n, double x) { return std::exp(-0.5 * x) * laguerre(n, x); }
double callTerm(double x) { return std::fmax(x - 1.0, 0.0); }
double putTerm(double x) { return std::fmax(1.0 - x, 0.0); }

std::vector<double> weightedSet(double x, int last)
{
    std::vector<double> v{1.0};
    for (int n = 0; n <= last; ++n)
        v.push_back(weighted(n, x));
    return v;
}

void expectValues(const BasisFunctions& basis, const double* point, const std::vector<double>& expected,
                  const std::string& what)
{
    ASSERT_EQ(static_cast<size_t>(basis.count), expected.size()) << what;
    const Vector<double> values = basisValues(basis, point);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(values[i], expected[i], 1e-13 * std::fmax(1.0, std::fabs(expected[i])))
            << what << ", function " << i;
}

TEST(RegressionBasis, OneDimensionalSetsAgainstLaguerrePolynomials)
{
    for (double x : {0.0, 1.0, 2.5}) {
        const std::string at = " at x = " + std::to_string(x);
        expectValues(powerBasis4, &x, {1.0, x, x * x, x * x * x}, "powerBasis4" + at);
        expectValues(laguerreBasis5, &x, weightedSet(x, 3), "laguerreBasis5" + at);
        expectValues(laguerreBasis6, &x, weightedSet(x, 4), "laguerreBasis6" + at);
        std::vector<double> call = weightedSet(x, 4), put = weightedSet(x, 4);
        call.push_back(callTerm(x));
        put.push_back(putTerm(x));
        expectValues(laguerreBasis7Call, &x, call, "laguerreBasis7Call" + at);
        expectValues(laguerreBasis7Put, &x, put, "laguerreBasis7Put" + at);
        expectValues(laguerreBasis11, &x, weightedSet(x, 9), "laguerreBasis11" + at);
        std::vector<double> both = weightedSet(x, 9);
        both.push_back(callTerm(x));
        both.push_back(putTerm(x));
        expectValues(laguerreBasis13, &x, both, "laguerreBasis13" + at);
    }
    // At x = 0 every weighted function is 1; at x = 1 both intrinsic terms are 0.
    const double zero = 0.0, one = 1.0;
    expectValues(laguerreBasis11, &zero, std::vector<double>(11, 1.0), "laguerreBasis11 at 0");
    const Vector<double> atOne = basisValues(laguerreBasis13, &one);
    EXPECT_EQ(atOne[11], 0.0);
    EXPECT_EQ(atOne[12], 0.0);
}

TEST(RegressionBasis, TwoDimensionalSetsAgainstLaguerrePolynomials)
{
    for (const auto& p : {std::vector<double>{0.0, 1.0}, std::vector<double>{1.0, 2.5}, std::vector<double>{2.5, 0.0}}) {
        const double x = p[0], y = p[1];
        const std::string at = " at (" + std::to_string(x) + ", " + std::to_string(y) + ")";

        std::vector<double> s24{1.0};
        for (int i = 1; i <= 4; ++i)
            s24.push_back(laguerre(i, x));
        for (int j = 1; j <= 4; ++j)
            s24.push_back(laguerre(j, y));
        for (int i = 1; i <= 4; ++i)
            for (int j = 1; j <= 4; ++j)
                if (i < 4 || j < 4)
                    s24.push_back(laguerre(j, y) * laguerre(i, x));
        expectValues(laguerreBasis2D24, p.data(), s24, "laguerreBasis2D24" + at);

        std::vector<double> s13{1.0, weighted(0, x), weighted(1, x), weighted(2, x),
                                weighted(0, y), weighted(1, y), weighted(2, y)};
        for (const auto& [i, j] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 0},
                                   std::pair{1, 1}, std::pair{2, 0}})
            s13.push_back(weighted(j, y) * weighted(i, x));
        expectValues(laguerreBasis2D13, p.data(), s13, "laguerreBasis2D13" + at);

        std::vector<double> s16{1.0};
        for (int i = 0; i <= 2; ++i)
            s16.push_back(weighted(i, x));
        for (int j = 0; j <= 2; ++j)
            s16.push_back(weighted(j, y));
        for (int i = 0; i <= 2; ++i)
            for (int j = 0; j <= 2; ++j)
                s16.push_back(weighted(j, y) * weighted(i, x));
        expectValues(laguerreBasis2D16, p.data(), s16, "laguerreBasis2D16" + at);

        for (int degree : {3, 4}) {
            std::vector<double> fx{std::exp(-0.5 * x)}, fy{std::exp(-0.5 * y)};
            for (int n = 1; n <= degree; ++n) {
                fx.push_back(laguerre(n, x));
                fy.push_back(laguerre(n, y));
            }
            std::vector<double> mixed{1.0};
            mixed.insert(mixed.end(), fx.begin(), fx.end());
            mixed.insert(mixed.end(), fy.begin(), fy.end());
            for (double a : fx)
                for (double b : fy)
                    mixed.push_back(b * a);
            expectValues(degree == 3 ? laguerreBasis2D25 : laguerreBasis2D36, p.data(), mixed,
                         "mixed set of degree " + std::to_string(degree) + at);
        }
    }
}

TEST(RegressionBasis, SelectionByBasisCount)
{
    struct Case {
        int32_t count, optionType;
        const BasisFunctions* set;
    };
    const Case cases[] = {{4, 0, &powerBasis4},      {5, 1, &laguerreBasis5},       {6, 0, &laguerreBasis6},
                          {7, 0, &laguerreBasis7Call}, {7, 1, &laguerreBasis7Put},   {7, 2, &laguerreBasis13},
                          {11, 1, &laguerreBasis11},  {12, 0, &laguerreBasis13},     {8, 1, &laguerreBasis13},
                          {0, 0, &laguerreBasis13},   {-3, 1, &laguerreBasis13},     {1000, 0, &laguerreBasis13}};
    for (const Case& k : cases)
        EXPECT_EQ(&exerciseBasisFor(k.count, k.optionType), k.set) << k.count << ", type " << k.optionType;
    EXPECT_EQ(&asianBasisFor(11), &laguerreBasis2D13);
    EXPECT_EQ(&asianBasisFor(16), &laguerreBasis2D16);
    EXPECT_EQ(&asianBasisFor(25), &laguerreBasis2D25);
    EXPECT_EQ(&asianBasisFor(36), &laguerreBasis2D36);
    EXPECT_EQ(&asianBasisFor(12), &laguerreBasis2D36);
}

}  // namespace
}  // namespace tarvic
