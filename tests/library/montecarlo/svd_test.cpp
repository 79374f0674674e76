// The singular value decomposition and the least-squares fit: the factors
// rebuild the matrix and are orthogonal, the singular values are sorted and
// the column signs follow the rule; fits of known polynomials, of a design
// with two equal columns and of a zero design; both failure texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "montecarlo/regression_basis.h"
#include "montecarlo/svd.h"

namespace tarvic {
namespace {

Matrix<double> randomMatrix(size_t rows, size_t cols, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    Matrix<double> a(rows, cols);
    for (size_t i = 0; i < rows; ++i)
        for (size_t j = 0; j < cols; ++j)
            a[i][j] = uniform(engine);
    return a;
}

// A Laguerre design matrix: nearly collinear columns, as the engines fit them.
Matrix<double> laguerreDesign(size_t rows)
{
    Matrix<double> a(rows, 6);
    for (size_t i = 0; i < rows; ++i) {
        const double x = 0.5 + i * (0.7 / rows);
        laguerreBasis6.evaluate(&x, a[i]);
    }
    return a;
}

double maxAbs(const Matrix<double>& a)
{
    double m = 0.0;
    for (size_t k = 0; k < a.size(); ++k)
        m = std::fmax(m, std::fabs(a.data()[k]));
    return m;
}

struct Shape {
    const char* name;
    Matrix<double> a;
};

TEST(Svd, FactorsRebuildTheMatrixAndAreOrthogonal)
{
    Matrix<double> duplicated = randomMatrix(9, 4, 3);
    for (size_t i = 0; i < 9; ++i)
        duplicated[i][3] = duplicated[i][1];
    const Shape shapes[] = {{"random 7 x 4", randomMatrix(7, 4, 1)},
                            {"square 5 x 5", randomMatrix(5, 5, 2)},
                            {"one column", randomMatrix(6, 1, 4)},
                            {"1 x 1", Matrix<double>(1, 1, -3.0)},
                            {"two equal columns", duplicated},
                            {"Laguerre design 200 x 6", laguerreDesign(200)},
                            {"wide 3 x 5", randomMatrix(3, 5, 5)}};
    for (const Shape& s : shapes) {
        const SVD svd(s.a);
        const size_t m = s.a.rows(), n = s.a.cols();
        ASSERT_EQ(svd.u.rows(), m) << s.name;
        ASSERT_EQ(svd.u.cols(), n) << s.name;
        ASSERT_EQ(svd.v.rows(), n) << s.name;
        const double scale = maxAbs(s.a);
        for (size_t i = 0; i < m; ++i)
            for (size_t j = 0; j < n; ++j) {
                double rebuilt = 0.0;
                for (size_t k = 0; k < n; ++k)
                    rebuilt += svd.u[i][k] * svd.w[k] * svd.v[j][k];
                ASSERT_NEAR(rebuilt, s.a[i][j], 1e-12 * scale) << s.name << " (" << i << ", " << j << ")";
            }
        for (size_t p = 0; p < n; ++p)
            for (size_t q = 0; q < n; ++q) {
                double vv = 0.0;
                for (size_t k = 0; k < n; ++k)
                    vv += svd.v[k][p] * svd.v[k][q];
                EXPECT_NEAR(vv, p == q ? 1.0 : 0.0, 1e-12) << s.name << " V^T V";
                if (m >= n) {
                    double uu = 0.0;
                    for (size_t k = 0; k < m; ++k)
                        uu += svd.u[k][p] * svd.u[k][q];
                    EXPECT_NEAR(uu, p == q ? 1.0 : 0.0, 1e-12) << s.name << " U^T U";
                }
            }
        for (size_t k = 0; k < n; ++k) {
            EXPECT_GE(svd.w[k], 0.0) << s.name;
            if (k > 0) {
                EXPECT_LE(svd.w[k], svd.w[k - 1]) << s.name;
            }
            int negative = 0;
            for (size_t i = 0; i < m; ++i)
                negative += svd.u[i][k] < 0.0;
            for (size_t j = 0; j < n; ++j)
                negative += svd.v[j][k] < 0.0;
            EXPECT_LE(negative, static_cast<int>((m + n) / 2)) << s.name << " column " << k;
        }
    }
}

TEST(Svd, SingularValuesOfAKnownMatrix)
{
    // diag(1, 4, 2) with its columns permuted: singular values 4, 2, 1.
    Matrix<double> a(3, 3, 0.0);
    a[0][2] = 1.0;
    a[1][0] = -4.0;
    a[2][1] = 2.0;
    const SVD svd(a);
    EXPECT_NEAR(svd.w[0], 4.0, 1e-15);
    EXPECT_NEAR(svd.w[1], 2.0, 1e-15);
    EXPECT_NEAR(svd.w[2], 1.0, 1e-15);
    EXPECT_NEAR(svd.tsh, 0.5 * std::sqrt(7.0) * 4.0 * 2.220446049250313e-16, 1e-30);
}

TEST(Svd, ZeroMatrixDecomposesToZeroSingularValues)
{
    const SVD svd(Matrix<double>(5, 3, 0.0));
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(svd.w[k], 0.0);
    SVD solver(Matrix<double>(5, 3, 0.0));
    Vector<double> b(5, 1.0), x(3, 7.0);
    solver.solve(b, x);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(x[k], 0.0);
}

TEST(Svd, SolveThresholds)
{
    // Singular values 1 and 1e-14: the default threshold (about 1e-15 here)
    // keeps both, 1e-13 drops the small one, 0 keeps every non-zero value.
    Matrix<double> a(2, 2, 0.0);
    a[0][0] = 1.0;
    a[1][1] = 1e-14;
    Vector<double> b(2, 1.0), x(2);
    SVD svd(a);
    svd.solve(b, x, -1.0);
    EXPECT_NEAR(x[1], 1e14, 1.0);
    svd.solve(b, x, std::numeric_limits<double>::quiet_NaN());
    EXPECT_NEAR(x[1], 1e14, 1.0);
    svd.solve(b, x, 1e-13);
    EXPECT_EQ(x[1], 0.0);
    EXPECT_NEAR(x[0], 1.0, 1e-15);
    svd.solve(b, x, 0.0);
    EXPECT_NEAR(x[1], 1e14, 1.0);
}

TEST(Svd, FailuresThrowTheirMessageAndPrintNothing)
{
    SVD svd(randomMatrix(4, 2, 7));
    Vector<double> wrongB(3), x(2);
    testing::internal::CaptureStdout();
    try {
        svd.solve(wrongB, x);
        ADD_FAILURE() << "accepted";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "SVD::solve bad sizes");
    }
    Vector<double> b(4), wrongX(3);
    EXPECT_THROW(svd.solve(b, wrongX), std::runtime_error);

    // NaN entries never pass the convergence test.
    Matrix<double> a = randomMatrix(4, 3, 8);
    a[1][1] = std::numeric_limits<double>::quiet_NaN();
    try {
        SVD bad(a);
        ADD_FAILURE() << "accepted";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "no convergence in 30 svdcmp iterations");
    }
    // The failures reach the caller as text: the host's output stays clean.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// ---- The fit ----------------------------------------------------------------------

TEST(LeastSquaresFit, FitsACubicExactly)
{
    const size_t n = 40;
    Vector<double> xs(n), ys(n), sigmas(n, 1.0);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = 0.2 + 0.05 * i;
        ys[i] = 1.5 - 2.0 * xs[i] + 0.5 * xs[i] * xs[i] + 0.25 * xs[i] * xs[i] * xs[i];
    }
    LeastSquaresFit fit(xs, ys, sigmas, n, powerBasis4, 1e-12);
    fit.fit();
    ASSERT_EQ(fit.numFunctions, 4);
    EXPECT_NEAR(fit.coefficients[0], 1.5, 1e-11);
    EXPECT_NEAR(fit.coefficients[1], -2.0, 1e-11);
    EXPECT_NEAR(fit.coefficients[2], 0.5, 1e-11);
    EXPECT_NEAR(fit.coefficients[3], 0.25, 1e-11);
    EXPECT_LT(fit.chiSquare, 1e-24);
    // The same fit from the basis values themselves.
    Matrix<double> values(n, 4);
    for (size_t i = 0; i < n; ++i)
        powerBasis4.evaluate(&xs[i], values[i]);
    LeastSquaresFit fromValues(values, ys, sigmas, n, 1e-12);
    fromValues.fit();
    for (size_t k = 0; k < 4; ++k)
        EXPECT_EQ(fromValues.coefficients[k], fit.coefficients[k]);
    // Covariance of unit-deviation data: (A^T A)^-1, symmetric and positive.
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_GT(fit.covariance(i, i), 0.0);
        for (size_t j = 0; j < 4; ++j)
            EXPECT_EQ(fit.covariance(i, j), fit.covariance(j, i));
    }
}

TEST(LeastSquaresFit, WeightsAndTheVectorForm)
{
    // A line through three points, the middle one known ten times better:
    // the weighted normal equations give the reference.
    const double xv[3] = {0.0, 1.0, 2.0}, yv[3] = {1.0, 2.5, 2.0}, sv[3] = {1.0, 0.1, 1.0};
    Matrix<double> points(3, 2);
    Vector<double> ys(3), sigmas(3);
    for (size_t i = 0; i < 3; ++i) {
        points[i][0] = xv[i];
        points[i][1] = 0.0;
        ys[i] = yv[i];
        sigmas[i] = sv[i];
    }
    const BasisFunctions line{"line", 2, 2, [](const double* p, double* v) {
                                  v[0] = 1.0;
                                  v[1] = p[0];
                              }};
    LeastSquaresFit fit(points, ys, sigmas, 3, line, 1e-12);
    fit.fit();
    double s = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (size_t i = 0; i < 3; ++i) {
        const double wgt = 1.0 / (sv[i] * sv[i]);
        s += wgt;
        sx += wgt * xv[i];
        sxx += wgt * xv[i] * xv[i];
        sy += wgt * yv[i];
        sxy += wgt * xv[i] * yv[i];
    }
    const double det = s * sxx - sx * sx;
    EXPECT_NEAR(fit.coefficients[0], (sxx * sy - sx * sxy) / det, 1e-13);
    EXPECT_NEAR(fit.coefficients[1], (s * sxy - sx * sy) / det, 1e-13);
    EXPECT_NEAR(fit.covariance(1, 1), s / det, 1e-13);
}

TEST(LeastSquaresFit, TwoEqualColumnsFitFinitely)
{
    // 1, x, x: the third singular value falls below 1e-12 w[0] and its
    // direction gets no weight; the slope is shared by the two equal columns.
    const BasisFunctions twice{"twice", 3, 1, [](const double* p, double* v) {
                                   v[0] = 1.0;
                                   v[1] = p[0];
                                   v[2] = p[0];
                               }};
    const size_t n = 30;
    Vector<double> xs(n), ys(n), sigmas(n, 1.0);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = 0.1 * i;
        ys[i] = 3.0 + 2.0 * xs[i];
    }
    LeastSquaresFit fit(xs, ys, sigmas, n, twice, 1e-12);
    fit.fit();
    for (size_t k = 0; k < 3; ++k)
        ASSERT_TRUE(std::isfinite(fit.coefficients[k]));
    EXPECT_NEAR(fit.coefficients[0], 3.0, 1e-12);
    EXPECT_NEAR(fit.coefficients[1], 1.0, 1e-12);
    EXPECT_NEAR(fit.coefficients[2], 1.0, 1e-12);
    EXPECT_LT(fit.chiSquare, 1e-20);
}

TEST(LeastSquaresFit, FewerPointsThanFunctionsInterpolate)
{
    // Three points, four functions: the minimum-norm coefficients pass
    // through every point, and agree with the decomposition of the design.
    Vector<double> xs(3), ys(3), sigmas(3, 1.0);
    const double xv[3] = {0.5, 1.0, 2.0}, yv[3] = {1.0, -1.0, 3.0};
    for (size_t i = 0; i < 3; ++i) {
        xs[i] = xv[i];
        ys[i] = yv[i];
    }
    LeastSquaresFit fit(xs, ys, sigmas, 3, powerBasis4, 1e-12);
    fit.fit();
    EXPECT_LT(fit.chiSquare, 1e-24);
    Matrix<double> design(3, 4);
    for (size_t i = 0; i < 3; ++i)
        powerBasis4.evaluate(&xv[i], design[i]);
    SVD svd(design);
    Vector<double> direct(4);
    svd.solve(ys, direct, 1e-12 * svd.w[0]);
    for (size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(fit.coefficients[k], direct[k], 1e-13);
}

TEST(LeastSquaresFit, ZeroDesignGivesZeroCoefficients)
{
    const BasisFunctions zeros{"zeros", 3, 1, [](const double*, double* v) { v[0] = v[1] = v[2] = 0.0; }};
    Vector<double> xs(5, 1.0), ys(5, 2.0), sigmas(5, 1.0);
    LeastSquaresFit fit(xs, ys, sigmas, 5, zeros, 1e-12);
    fit.fit();
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(fit.coefficients[k], 0.0);
    EXPECT_DOUBLE_EQ(fit.chiSquare, 20.0);
}

// Designs 1, x, x^2, x^3 with x near 1e-155 (x^2 subnormal, x^3 zero) and
// near 1e80 (x^3 near 1e240): observations on a known polynomial in t = x /
// x0 are fitted to the decomposition's accuracy, and the reduction of an
// ordinary design is untouched (the same fit on t itself gives the
// coefficients scaled by powers of x0 only through rounding).
TEST(LeastSquaresFit, DesignsBeyondTheSquaresOfDoublesFitLikeModerateOnes)
{
    struct Case {
        const char* name;
        double x0;
        double c[4];  // the polynomial in t
    };
    const Case cases[] = {
        {"x near 1e-155", 1e-155, {1.5, -2.0, 0.0, 0.0}},
        {"x near 1e80", 1e80, {1.5, -2.0, 0.5, 0.25}},
        {"x near 1e100", 1e100, {1.5, -2.0, 0.5, 0.25}},
    };
    const size_t n = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vector<double> xs(n), ys(n), sigmas(n, 1.0);
        for (size_t i = 0; i < n; ++i) {
            const double t = 1.0 + 1.5 * static_cast<double>(i) / n;
            xs[i] = c.x0 * t;
            ys[i] = c.c[0] + t * (c.c[1] + t * (c.c[2] + t * c.c[3]));
        }
        testing::internal::CaptureStdout();
        LeastSquaresFit fit(xs, ys, sigmas, n, powerBasis4, 1e-12);
        ASSERT_NO_THROW(fit.fit());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        // Fitted values: the observations lie in the span of the design.
        for (size_t i = 0; i < n; ++i) {
            const double x = xs[i];
            const double fitted = fit.coefficients[0] + fit.coefficients[1] * x +
                                  fit.coefficients[2] * (x * x) + fit.coefficients[3] * (x * x * x);
            EXPECT_NEAR(fitted, ys[i], 1e-9) << "point " << i;
        }
        EXPECT_NEAR(fit.coefficients[0], c.c[0], 1e-9);
        EXPECT_NEAR(fit.coefficients[1] * c.x0, c.c[1], 1e-9);
        if (c.c[2] != 0.0) {
            EXPECT_NEAR(fit.coefficients[2] * c.x0 * c.x0, c.c[2], 1e-8);
        }
        if (c.c[3] != 0.0) {
            EXPECT_NEAR(fit.coefficients[3] * c.x0 * c.x0 * c.x0, c.c[3], 1e-8);
        }
        EXPECT_TRUE(std::isfinite(fit.chiSquare));
        EXPECT_LT(fit.chiSquare, 1e-18);
    }
}

// A tall design reduced in pieces: the triangles of the pieces, joined in
// order, solve the problem the whole design solves (the Laguerre design, with
// its nearly collinear columns, and a power design scaled beyond the range
// of squares), whatever the cut; pieces shorter than the triangle included.
TEST(LeastSquaresTriangle, PiecesJoinedSolveTheWholeDesign)
{
    const size_t n = 500;
    struct Case {
        const char* name;
        const BasisFunctions* basis;
        double x0;
    };
    const Case cases[] = {{"Laguerre", &laguerreBasis6, 1.0}, {"powers near 1e80", &powerBasis4, 1e80}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t nf = static_cast<size_t>(c.basis->count);
        const size_t cols = nf + 1;
        std::mt19937 engine(5);
        std::normal_distribution<double> noise(0.0, 0.01);
        Vector<double> xs(n), ys(n), sigmas(n, 1.0);
        Matrix<double> values(n, nf);
        for (size_t i = 0; i < n; ++i) {
            const double t = 0.5 + 0.7 * static_cast<double>(i) / n;
            xs[i] = c.x0 * t;
            ys[i] = 1.0 / (1.0 + t) + noise(engine);
            c.basis->evaluate(&xs[i], values[i]);
        }
        LeastSquaresFit whole(xs, ys, sigmas, n, *c.basis, 1e-12);
        whole.fit();
        for (size_t piece : {size_t(3), size_t(64), size_t(499), n}) {
            std::vector<double> largest(cols, 0.0);
            for (size_t i = 0; i < n; ++i) {
                for (size_t j = 0; j < nf; ++j)
                    largest[j] = std::fmax(largest[j], std::fabs(values[i][j]));
                largest[nf] = std::fmax(largest[nf], std::fabs(ys[i]));
            }
            std::vector<int> exponents(cols);
            const bool scaled = equilibrationExponents(largest.data(), nf, exponents.data());
            EXPECT_EQ(scaled, c.x0 != 1.0);
            std::vector<double> joined(cols * cols), work(2 * cols * cols);
            for (size_t begin = 0; begin < n; begin += piece) {
                const size_t rows = std::min(piece, n - begin);
                const size_t ld = std::max(rows, cols);
                std::vector<double> block(ld * cols, 0.0);
                for (size_t i = 0; i < rows; ++i) {
                    for (size_t j = 0; j < nf; ++j)
                        block[j * ld + i] = values[begin + i][j];
                    block[nf * ld + i] = ys[begin + i];
                }
                for (size_t j = 0; j < cols; ++j)
                    scaleByPowerOfTwo(block.data() + j * ld, rows, exponents[j]);
                reduceToTriangle(block.data(), ld, cols, ld);
                if (begin == 0) {
                    for (size_t k = 0; k < cols; ++k)
                        for (size_t j = 0; j <= k; ++j)
                            joined[k * cols + j] = block[k * ld + j];
                } else {
                    joinTriangles(joined.data(), cols, block.data(), ld, cols, work.data());
                }
            }
            // |T[nf][nf]|^2 is the residual sum of squares.
            EXPECT_NEAR(std::scalbn(joined[nf * cols + nf] * joined[nf * cols + nf], -2 * exponents[nf]),
                        whole.chiSquare, 1e-12 * (1.0 + whole.chiSquare))
                << "pieces of " << piece;
            Vector<double> coefficients;
            solveTriangle(joined.data(), cols, nf, 1e-12, exponents.data(), coefficients);
            ASSERT_EQ(coefficients.size(), nf);
            for (size_t i = 0; i < n; i += 37) {
                double a = 0.0, b = 0.0;
                for (size_t j = 0; j < nf; ++j) {
                    a += coefficients[j] * values[i][j];
                    b += whole.coefficients[j] * values[i][j];
                }
                EXPECT_NEAR(a, b, 1e-9) << "pieces of " << piece << ", point " << i;
            }
        }
    }
}

TEST(LeastSquaresFit, RefusesWhatItCannotFit)
{
    Vector<double> xs(4, 1.0), ys(4, 1.0), ones(4, 1.0), badSigmas(4, 1.0);
    badSigmas[2] = 0.0;
    struct Case {
        const char* word;
        Vector<double>* sigmas;
        size_t points;
    };
    const Case cases[] = {{"at least one data point", &ones, 0}, {"positive and finite", &badSigmas, 4}};
    for (const Case& k : cases) {
        LeastSquaresFit fit(xs, ys, *k.sigmas, k.points, powerBasis4, 1e-12);
        try {
            fit.fit();
            ADD_FAILURE() << k.word;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(k.word), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(LeastSquaresFit(xs, ys, ones, 5, powerBasis4, 1e-12), std::invalid_argument);
    EXPECT_THROW(LeastSquaresFit(xs, ys, ones, 4, laguerreBasis2D13, 1e-12), std::invalid_argument);
}

}  // namespace
}  // namespace tarvic
