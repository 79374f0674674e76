#pragma once

// Least squares through a singular value decomposition.
//
// SVD: the Golub-Reinsch decomposition A = U diag(w) V^T of an m x n matrix:
// Householder reduction to upper bidiagonal form, accumulation of the left
// and right transformations, then implicit-shift QR sweeps on the bidiagonal
// form (at most 30 per singular value). Afterwards the singular values are
// sorted into non-increasing order (the columns of U and V move with them)
// and each pair of columns of U and V is given the sign under which at most
// (m + n) / 2 of its entries are negative.
//
// LeastSquaresFit: the weighted linear least-squares fit of observations y_i
// with deviations sigma_i on a set of basis functions, solved through the
// decomposition of the design matrix (row i = basis values of point i /
// sigma_i); singular values at or below tolerance x w[0] count as zero, so
// nearly collinear basis functions never blow the coefficients up. With more
// points than functions the design is first reduced by Householder QR to its
// square triangular factor, which has the design's singular values and right
// vectors: the same solution from a decomposition of nf x nf numbers.
//
// Before the reduction, a design with a column whose largest entry lies
// outside [2^-450, 2^450] has each of its columns scaled by a power of two
// to a largest entry in [1, 2) (the right-hand side too when it lies outside
// that range), and the coefficients, chi-square and covariance are scaled
// back afterwards: a design whose entries would overflow when squared, or
// whose largest entry is subnormal, is solved like a moderate one, with the
// threshold on the scaled columns. A design inside that range is not
// touched (no norm, square or product of the reduction and the
// decomposition then leaves the range of doubles, even over 2^31 rows), so
// it keeps every bit.
//
// The two failures of the decomposition ("no convergence in 30 svdcmp
// iterations", "SVD::solve bad sizes") throw std::runtime_error with the
// message; nothing is printed.

#include <cstddef>
#include <cstdint>

#include "montecarlo/dense_matrix.h"

namespace tarvic {

constexpr const char* kSvdNoConvergenceText = "no convergence in 30 svdcmp iterations";
constexpr const char* kSvdBadSizesText = "SVD::solve bad sizes";

class SVD {
public:
    // Decomposes a copy of a (m x n, any shape).
    explicit SVD(const Matrix<double>& a);
    // Decomposes a in place.
    explicit SVD(Matrix<double>&& a);

    int32_t m = 0, n = 0;
    Matrix<double> u;  // m x n, the left singular vectors
    Matrix<double> v;  // n x n, the right singular vectors
    Vector<double> w;  // n singular values, non-increasing
    double eps = 2.220446049250313e-16;
    double tsh = 0.0;  // threshold below which a singular value counts as zero

    // Least-squares solution x (n entries) of u diag(w) v^T x = b (m entries);
    // singular values at or below thresh count as zero; a negative (or NaN)
    // thresh takes 0.5 sqrt(m + n + 1) w[0] eps. Sets tsh.
    void solve(const Vector<double>& b, Vector<double>& x, double thresh = -1.0);

    double defaultThreshold() const;

private:
    void decompose();
    void reorder();
};

// Basis functions of a regression: `count` values at a point of `dims`
// coordinates, written into values[0 .. count-1]. They allocate nothing.
struct BasisFunctions {
    const char* name = nullptr;
    int32_t count = 0;
    int32_t dims = 1;
    void (*evaluate)(const double* point, double* values) = nullptr;
};

class LeastSquaresFit {
public:
    // Scalar form: the first numPoints abscissae of xs (a basis of one
    // coordinate). ys and sigmas hold at least numPoints entries.
    LeastSquaresFit(const Vector<double>& xs, const Vector<double>& ys, const Vector<double>& sigmas,
                    size_t numPoints, const BasisFunctions& basis, double tolerance);
    // Vector form: the first numPoints rows of points, one point per row
    // (basis.dims coordinates).
    LeastSquaresFit(const Matrix<double>& points, const Vector<double>& ys, const Vector<double>& sigmas,
                    size_t numPoints, const BasisFunctions& basis, double tolerance);

    // Design form: the first numPoints rows of basisValues hold the basis
    // values of the points (one function per column).
    LeastSquaresFit(const Matrix<double>& basisValues, const Vector<double>& ys, const Vector<double>& sigmas,
                    size_t numPoints, double tolerance);

    // Fills coefficients, covariance and chiSquare. Fails with a message when
    // there is no point, when a deviation is not positive and finite, and
    // with the decomposition's failures.
    void fit();

    size_t numPoints = 0;
    int32_t numFunctions = 0;
    double tolerance = 0.0;
    Vector<double> coefficients;
    Matrix<double> covariance;
    double chiSquare = 0.0;

private:
    const Vector<double>* xs_ = nullptr;
    const Matrix<double>* points_ = nullptr;
    const Matrix<double>* values_ = nullptr;
    const Vector<double>& ys_;
    const Vector<double>& sigmas_;
    BasisFunctions basis_;
};

// Tall least-squares problems in pieces. A block holds rows of [A | b]
// column by column (column k at block + k ld); its triangle T is the R
// factor of the block's QR decomposition, T^T T = [A | b]^T [A | b], kept in
// the block's first rows: T[j][k] = block[k ld + j] for j <= k. Rows 0 ..
// nf-1 of T hold the R and Q^T b of the problem, |T[nf][nf]| the residual
// norm. The triangles of the pieces of a design, joined in a fixed order,
// give the triangle of the whole (up to rounding), so the decomposition of
// R solves the whole problem.

// The exponents e_j by which the columns of a design (nf columns and the
// right-hand side, largest[j] the largest magnitude of column j) are scaled
// by 2^e_j before a reduction, as in the fit above; returns whether any is
// not 0.
bool equilibrationExponents(const double* largest, size_t nf, int* exponents);

// a[i] = 2^e a[i] for i in [0, n), exactly where the result is normal.
void scaleByPowerOfTwo(double* a, size_t n, int e);

// Reduces the cols columns of rows [0, rows) of a block (rows >= cols) to
// its triangle.
void reduceToTriangle(double* block, size_t ld, size_t cols, size_t rows);

// Replaces the triangle `upper` by the triangle of `upper` stacked over
// `lower` (both cols x cols); work holds 2 cols x cols doubles.
void joinTriangles(double* upper, size_t ldUpper, const double* lower, size_t ldLower, size_t cols, double* work);

// The coefficients (nf) of the problem whose triangle (nf + 1 columns) is
// given, through the decomposition of R with singular values at or below
// tolerance x the largest counting as zero; with exponents (nf + 1 entries,
// the columns' scaling) the coefficients of the unscaled problem.
void solveTriangle(const double* triangle, size_t ld, size_t nf, double tolerance, const int* exponents,
                   Vector<double>& coefficients);

}  // namespace tarvic
