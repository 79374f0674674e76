#include "montecarlo/svd.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/require.h"

namespace tarvic {

namespace {

// The decomposition's failures reach the caller as the exception's message
// alone: the library writes nothing to its host's standard output.
[[noreturn]] void svdFailure(const char* message) { throw std::runtime_error(message); }

// sqrt(a^2 + b^2) without overflow or destructive underflow.
double pythag(double a, double b)
{
    const double absa = std::fabs(a), absb = std::fabs(b);
    if (absa > absb) {
        const double r = absb / absa;
        return absa * std::sqrt(1.0 + r * r);
    }
    if (absb == 0.0)
        return 0.0;
    const double r = absa / absb;
    return absb * std::sqrt(1.0 + r * r);
}

double withSign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

int32_t checkedDimension(size_t size, const char* what)
{
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        fail(std::string("Invalid input: a matrix to decompose has too many ") + what + ".");
    return static_cast<int32_t>(size);
}

// Sum of a[i] b[i] over [0, n), in four interleaved partial sums.
double dot(const double* a, const double* b, size_t n)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < n; ++i)
        s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

// Householder QR of the first `reflect` of the `cols` columns of a
// column-major block (column k at block + k ld, rows [0, m)), each
// reflection applied to the columns after it: afterwards R[j][k] =
// block[k ld + j] for j <= k, j < reflect.
void reduceColumns(double* block, size_t ld, size_t reflect, size_t cols, size_t m)
{
    for (size_t j = 0; j < reflect && j < m; ++j) {
        double* a = block + j * ld;
        // The norm of a[j..m), scaled by the largest entry against overflow.
        double scale = 0.0;
        for (size_t i = j; i < m; ++i) {
            const double t = std::fabs(a[i]);
            scale = t > scale ? t : scale;
        }
        if (!(scale > 0.0))
            continue;  // a zero column: R[j][j] = 0, nothing to reflect
        const double inverse = 1.0 / scale;
        double sum = 0.0;
        for (size_t i = j; i < m; ++i) {
            const double t = a[i] * inverse;
            sum += t * t;
        }
        const double norm = scale * std::sqrt(sum);
        const double alpha = a[j] > 0.0 ? -norm : norm;
        // The reflection vector is (a[j] - alpha, a[j+1], ..., a[m-1]).
        const double v0 = a[j] - alpha;
        const double vtv = 2.0 * norm * (norm + std::fabs(a[j]));
        const size_t tail = m - j - 1;
        for (size_t k = j + 1; k < cols; ++k) {
            double* c = block + k * ld;
            const double f = 2.0 * (v0 * c[j] + dot(a + j + 1, c + j + 1, tail)) / vtv;
            c[j] -= f * v0;
            for (size_t i = j + 1; i < m; ++i)
                c[i] -= f * a[i];
        }
        a[j] = alpha;
    }
}

// Householder QR of the m x nf matrix whose columns are rows 0 .. nf-1 of
// `columns`, applied to the right-hand side in row nf as well: afterwards
// R[j][k] = columns[k][j] for k >= j and (Q^T b)[j] = columns[nf][j].
void householderReduce(Matrix<double>& columns, size_t nf, size_t m)
{
    reduceColumns(columns.data(), columns.cols(), nf, nf + 1, m);
}

}  // namespace

namespace {

constexpr int kLargestUnscaled = 450;

bool withinScale(double largest)
{
    if (!(largest > 0.0) || !std::isfinite(largest))
        return true;  // a zero column (nothing to reflect), or one no scaling can help
    const int exponent = std::ilogb(largest);
    return exponent >= -kLargestUnscaled && exponent <= kLargestUnscaled;
}

int unitExponent(double largest) { return largest > 0.0 && std::isfinite(largest) ? -std::ilogb(largest) : 0; }

}  // namespace

bool equilibrationExponents(const double* largest, size_t nf, int* exponents)
{
    bool design = false;
    for (size_t j = 0; j < nf; ++j)
        design = design || !withinScale(largest[j]);
    for (size_t j = 0; j < nf; ++j)
        exponents[j] = design ? unitExponent(largest[j]) : 0;
    exponents[nf] = withinScale(largest[nf]) ? 0 : unitExponent(largest[nf]);
    return design || exponents[nf] != 0;
}

void scaleByPowerOfTwo(double* a, size_t n, int e)
{
    if (e == 0)
        return;
    // scalbn multiplies exactly (a result above the smallest normal number
    // keeps all its bits), even where 2^e itself is no double.
    for (size_t i = 0; i < n; ++i)
        a[i] = std::scalbn(a[i], e);
}

void reduceToTriangle(double* block, size_t ld, size_t cols, size_t rows)
{
    reduceColumns(block, ld, cols, cols, rows);
}

void joinTriangles(double* upper, size_t ldUpper, const double* lower, size_t ldLower, size_t cols, double* work)
{
    const size_t rows = 2 * cols;
    for (size_t k = 0; k < cols; ++k) {
        double* w = work + k * rows;
        for (size_t j = 0; j < cols; ++j) {
            w[j] = j <= k ? upper[k * ldUpper + j] : 0.0;
            w[cols + j] = j <= k ? lower[k * ldLower + j] : 0.0;
        }
    }
    reduceColumns(work, rows, cols, cols, rows);
    for (size_t k = 0; k < cols; ++k)
        for (size_t j = 0; j <= k; ++j)
            upper[k * ldUpper + j] = work[k * rows + j];
}

void solveTriangle(const double* triangle, size_t ld, size_t nf, double tolerance, const int* exponents,
                   Vector<double>& coefficients)
{
    Matrix<double> reduced(nf, nf);
    Vector<double> rhs(nf);
    for (size_t j = 0; j < nf; ++j) {
        for (size_t k = j; k < nf; ++k)
            reduced[j][k] = triangle[k * ld + j];
        rhs[j] = triangle[nf * ld + j];
    }
    coefficients.resize(nf);
    SVD svd(std::move(reduced));
    svd.solve(rhs, coefficients, tolerance * svd.w[0]);
    if (exponents)
        for (size_t j = 0; j < nf; ++j)
            coefficients[j] = std::scalbn(coefficients[j], exponents[j] - exponents[nf]);
}

SVD::SVD(const Matrix<double>& a) : SVD(Matrix<double>(a)) {}

SVD::SVD(Matrix<double>&& a)
    : m(checkedDimension(a.rows(), "rows")), n(checkedDimension(a.cols(), "columns")), u(std::move(a)),
      v(static_cast<size_t>(n), static_cast<size_t>(n)), w(static_cast<size_t>(n))
{
    if (m > 0 && n > 0) {
        if (m < n) {
            // The reduction below wants at least as many rows as columns:
            // zero rows leave the singular values and V unchanged.
            Matrix<double> padded(static_cast<size_t>(n), static_cast<size_t>(n), 0.0);
            for (int32_t i = 0; i < m; ++i)
                for (int32_t j = 0; j < n; ++j)
                    padded[i][j] = u[i][j];
            const int32_t rows = m;
            u = std::move(padded);
            m = n;
            decompose();
            Matrix<double> trimmed(static_cast<size_t>(rows), static_cast<size_t>(n));
            for (int32_t i = 0; i < rows; ++i)
                for (int32_t j = 0; j < n; ++j)
                    trimmed[i][j] = u[i][j];
            u = std::move(trimmed);
            m = rows;
            reorder();
        } else {
            decompose();
            reorder();
        }
    }
    tsh = defaultThreshold();
}

double SVD::defaultThreshold() const
{
    const double w0 = n > 0 ? w[0] : 0.0;
    return 0.5 * std::sqrt(static_cast<double>(m) + n + 1.0) * w0 * eps;
}

void SVD::decompose()
{
    Vector<double> rv1(static_cast<size_t>(n));
    double g = 0.0, scale = 0.0, anorm = 0.0;
    int32_t l = 0;
    // Householder reduction to bidiagonal form: w the diagonal, rv1 the
    // superdiagonal.
    for (int32_t i = 0; i < n; ++i) {
        l = i + 2;
        rv1[i] = scale * g;
        double s = 0.0;
        g = scale = 0.0;
        if (i < m) {
            for (int32_t k = i; k < m; ++k)
                scale += std::fabs(u[k][i]);
            if (scale != 0.0) {
                for (int32_t k = i; k < m; ++k) {
                    u[k][i] /= scale;
                    s += u[k][i] * u[k][i];
                }
                double f = u[i][i];
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                u[i][i] = f - g;
                for (int32_t j = l - 1; j < n; ++j) {
                    double t = 0.0;
                    for (int32_t k = i; k < m; ++k)
                        t += u[k][i] * u[k][j];
                    f = t / h;
                    for (int32_t k = i; k < m; ++k)
                        u[k][j] += f * u[k][i];
                }
                for (int32_t k = i; k < m; ++k)
                    u[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        s = 0.0;
        g = scale = 0.0;
        if (i + 1 <= m && i + 1 != n) {
            for (int32_t k = l - 1; k < n; ++k)
                scale += std::fabs(u[i][k]);
            if (scale != 0.0) {
                for (int32_t k = l - 1; k < n; ++k) {
                    u[i][k] /= scale;
                    s += u[i][k] * u[i][k];
                }
                const double f = u[i][l - 1];
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                u[i][l - 1] = f - g;
                for (int32_t k = l - 1; k < n; ++k)
                    rv1[k] = u[i][k] / h;
                for (int32_t j = l - 1; j < m; ++j) {
                    double t = 0.0;
                    for (int32_t k = l - 1; k < n; ++k)
                        t += u[j][k] * u[i][k];
                    for (int32_t k = l - 1; k < n; ++k)
                        u[j][k] += t * rv1[k];
                }
                for (int32_t k = l - 1; k < n; ++k)
                    u[i][k] *= scale;
            }
        }
        anorm = std::fmax(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
    }
    // Accumulation of the right transformations into v.
    for (int32_t i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                for (int32_t j = l; j < n; ++j)
                    v[j][i] = (u[i][j] / u[i][l]) / g;  // double division avoids underflow
                for (int32_t j = l; j < n; ++j) {
                    double s = 0.0;
                    for (int32_t k = l; k < n; ++k)
                        s += u[i][k] * v[k][j];
                    for (int32_t k = l; k < n; ++k)
                        v[k][j] += s * v[k][i];
                }
            }
            for (int32_t j = l; j < n; ++j)
                v[i][j] = v[j][i] = 0.0;
        }
        v[i][i] = 1.0;
        g = rv1[i];
        l = i;
    }
    // Accumulation of the left transformations into u.
    for (int32_t i = (m < n ? m : n) - 1; i >= 0; --i) {
        l = i + 1;
        g = w[i];
        for (int32_t j = l; j < n; ++j)
            u[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int32_t j = l; j < n; ++j) {
                double s = 0.0;
                for (int32_t k = l; k < m; ++k)
                    s += u[k][i] * u[k][j];
                const double f = (s / u[i][i]) * g;
                for (int32_t k = i; k < m; ++k)
                    u[k][j] += f * u[k][i];
            }
            for (int32_t j = i; j < m; ++j)
                u[j][i] *= g;
        } else {
            for (int32_t j = i; j < m; ++j)
                u[j][i] = 0.0;
        }
        ++u[i][i];
    }
    // Diagonalisation of the bidiagonal form by implicit-shift QR sweeps.
    for (int32_t k = n - 1; k >= 0; --k) {
        for (int its = 0; its < 30; ++its) {
            bool cancel = true;
            int32_t nm = 0;
            for (l = k; l >= 0; --l) {
                nm = l - 1;
                if (l == 0 || std::fabs(rv1[l]) <= eps * anorm) {
                    cancel = false;
                    break;
                }
                if (std::fabs(w[nm]) <= eps * anorm)
                    break;
            }
            if (cancel) {
                // w[l-1] is negligible: cancel rv1[l] by rotations.
                double c = 0.0, s = 1.0;
                for (int32_t i = l; i < k + 1; ++i) {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (std::fabs(f) <= eps * anorm)
                        break;
                    g = w[i];
                    double h = pythag(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (int32_t j = 0; j < m; ++j) {
                        const double y = u[j][nm];
                        const double z = u[j][i];
                        u[j][nm] = y * c + z * s;
                        u[j][i] = z * c - y * s;
                    }
                }
            }
            double z = w[k];
            if (l == k) {
                // Converged: make the singular value non-negative.
                if (z < 0.0) {
                    w[k] = -z;
                    for (int32_t j = 0; j < n; ++j)
                        v[j][k] = -v[j][k];
                }
                break;
            }
            if (its == 29)
                svdFailure(kSvdNoConvergenceText);
            // Shift from the bottom 2 x 2 minor.
            double x = w[l];
            nm = k - 1;
            double y = w[nm];
            g = rv1[nm];
            double h = rv1[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = pythag(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + withSign(g, f))) - h)) / x;
            // Next QR transformation.
            double c = 1.0, s = 1.0;
            for (int32_t j = l; j <= nm; ++j) {
                const int32_t i = j + 1;
                g = rv1[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = pythag(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                for (int32_t jj = 0; jj < n; ++jj) {
                    x = v[jj][j];
                    z = v[jj][i];
                    v[jj][j] = x * c + z * s;
                    v[jj][i] = z * c - x * s;
                }
                z = pythag(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int32_t jj = 0; jj < m; ++jj) {
                    y = u[jj][j];
                    z = u[jj][i];
                    u[jj][j] = y * c + z * s;
                    u[jj][i] = z * c - y * s;
                }
            }
            rv1[l] = 0.0;
            rv1[k] = f;
            w[k] = x;
        }
    }
}

void SVD::reorder()
{
    // Shell sort of w into non-increasing order, increments 1, 4, 13, 40, ...
    Vector<double> su(static_cast<size_t>(m)), sv(static_cast<size_t>(n));
    int32_t inc = 1;
    do {
        inc *= 3;
        inc++;
    } while (inc <= n);
    do {
        inc /= 3;
        for (int32_t i = inc; i < n; ++i) {
            const double sw = w[i];
            for (int32_t k = 0; k < m; ++k)
                su[k] = u[k][i];
            for (int32_t k = 0; k < n; ++k)
                sv[k] = v[k][i];
            int32_t j = i;
            while (w[j - inc] < sw) {
                w[j] = w[j - inc];
                for (int32_t k = 0; k < m; ++k)
                    u[k][j] = u[k][j - inc];
                for (int32_t k = 0; k < n; ++k)
                    v[k][j] = v[k][j - inc];
                j -= inc;
                if (j < inc)
                    break;
            }
            w[j] = sw;
            for (int32_t k = 0; k < m; ++k)
                u[k][j] = su[k];
            for (int32_t k = 0; k < n; ++k)
                v[k][j] = sv[k];
        }
    } while (inc > 1);
    // Signs: a column pair with more than (m + n) / 2 negative entries is negated.
    for (int32_t k = 0; k < n; ++k) {
        int32_t negative = 0;
        for (int32_t i = 0; i < m; ++i)
            if (u[i][k] < 0.0)
                ++negative;
        for (int32_t j = 0; j < n; ++j)
            if (v[j][k] < 0.0)
                ++negative;
        if (negative > (m + n) / 2) {
            for (int32_t i = 0; i < m; ++i)
                u[i][k] = -u[i][k];
            for (int32_t j = 0; j < n; ++j)
                v[j][k] = -v[j][k];
        }
    }
}

void SVD::solve(const Vector<double>& b, Vector<double>& x, double thresh)
{
    if (b.size() != static_cast<size_t>(m) || x.size() != static_cast<size_t>(n))
        svdFailure(kSvdBadSizesText);
    tsh = thresh >= 0.0 ? thresh : defaultThreshold();
    Vector<double> t(static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j) {
        double s = 0.0;
        if (w[j] > tsh) {
            for (int32_t i = 0; i < m; ++i)
                s += u[i][j] * b[i];
            s /= w[j];
        }
        t[j] = s;
    }
    for (int32_t j = 0; j < n; ++j) {
        double s = 0.0;
        for (int32_t jj = 0; jj < n; ++jj)
            s += v[j][jj] * t[jj];
        x[j] = s;
    }
}

LeastSquaresFit::LeastSquaresFit(const Vector<double>& xs, const Vector<double>& ys, const Vector<double>& sigmas,
                                 size_t points, const BasisFunctions& basis, double tol)
    : numPoints(points), tolerance(tol), xs_(&xs), ys_(ys), sigmas_(sigmas), basis_(basis)
{
    if (basis.dims != 1)
        fail("Invalid input: the scalar form of a least-squares fit needs a basis of one coordinate.");
    if (xs.size() < points)
        fail("Invalid input: a least-squares fit has fewer abscissae than points.");
}

LeastSquaresFit::LeastSquaresFit(const Matrix<double>& points, const Vector<double>& ys,
                                 const Vector<double>& sigmas, size_t count, const BasisFunctions& basis,
                                 double tol)
    : numPoints(count), tolerance(tol), points_(&points), ys_(ys), sigmas_(sigmas), basis_(basis)
{
    if (basis.dims < 1 || points.cols() != static_cast<size_t>(basis.dims))
        fail("Invalid input: the points of a least-squares fit do not have the coordinates of its basis.");
    if (points.rows() < count)
        fail("Invalid input: a least-squares fit has fewer point rows than points.");
}

LeastSquaresFit::LeastSquaresFit(const Matrix<double>& basisValues, const Vector<double>& ys,
                                 const Vector<double>& sigmas, size_t count, double tol)
    : numPoints(count), tolerance(tol), values_(&basisValues), ys_(ys), sigmas_(sigmas)
{
    if (basisValues.rows() < count)
        fail("Invalid input: a least-squares fit has fewer rows of basis values than points.");
    if (basisValues.cols() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        fail("Invalid input: a least-squares fit has too many basis functions.");
    basis_.name = "basis values";
    basis_.count = static_cast<int32_t>(basisValues.cols());
    basis_.dims = basis_.count;
}

void LeastSquaresFit::fit()
{
    if (numPoints < 1)
        fail("Invalid input: a least-squares fit needs at least one data point.");
    if (ys_.size() < numPoints || sigmas_.size() < numPoints)
        fail("Invalid input: a least-squares fit needs an observation and a deviation for every point.");
    if ((!basis_.evaluate && !values_) || basis_.count < 1)
        fail("Invalid input: a least-squares fit needs at least one basis function.");
    numFunctions = basis_.count;
    const size_t nf = static_cast<size_t>(numFunctions);
    const size_t m = numPoints;
    coefficients.resize(nf);
    covariance.resize(nf, nf);
    // The basis values of point i into v.
    const auto evaluate = [this, nf](size_t i, double* v) {
        if (values_) {
            const double* row = (*values_)[i];
            for (size_t j = 0; j < nf; ++j)
                v[j] = row[j];
        } else {
            basis_.evaluate(xs_ ? &(*xs_)[i] : (*points_)[i], v);
        }
    };

    // The weighted design matrix and the right-hand side, column by column:
    // row j holds column j of the design, row nf the right-hand side.
    Matrix<double> columns(nf + 1, m);
    Vector<double> values(nf);
    for (size_t i = 0; i < m; ++i) {
        const double sigma = sigmas_[i];
        if (!(sigma > 0.0) || !std::isfinite(sigma))
            fail("Invalid input: the deviations of a least-squares fit must be positive and finite.");
        const double s = 1.0 / sigma;
        evaluate(i, values.data());
        for (size_t j = 0; j < nf; ++j)
            columns[j][i] = values[j] * s;
        columns[nf][i] = ys_[i] * s;
    }
    // A design with a column beyond the range the reduction can square has
    // its columns (and a right-hand side beyond it) scaled by powers of two;
    // with A D y = 2^eb b for D = diag(2^ej), the coefficients are
    // x_j = 2^(ej - eb) y_j.
    std::vector<int> exponents(nf + 1);
    std::vector<double> largest(nf + 1, 0.0);
    for (size_t j = 0; j <= nf; ++j)
        for (size_t i = 0; i < m; ++i)
            largest[j] = std::fmax(largest[j], std::fabs(columns[j][i]));
    const bool scaled = equilibrationExponents(largest.data(), nf, exponents.data());
    if (scaled)
        for (size_t j = 0; j <= nf; ++j)
            scaleByPowerOfTwo(columns[j], m, exponents[j]);

    // With more points than functions the design is first reduced to its
    // triangular factor R (A = QR); the decomposition of R has the singular
    // values and right vectors of A, and its left vectors are those of A
    // seen through Q, so the least-squares solution is the same while the
    // decomposition works on nf x nf numbers instead of m x nf.
    Matrix<double> reduced;
    Vector<double> rhs;
    double tailSquares = 0.0;  // |(Q^T b)[nf..m)|^2, the residual no coefficient can reach
    if (m > nf) {
        householderReduce(columns, nf, m);
        reduced.resize(nf, nf);
        rhs.resize(nf);
        for (size_t j = 0; j < nf; ++j) {
            for (size_t k = 0; k < nf; ++k)
                reduced[j][k] = k >= j ? columns[k][j] : 0.0;
            rhs[j] = columns[nf][j];
        }
        const double* tail = columns[nf] + nf;
        tailSquares = dot(tail, tail, m - nf);
    } else {
        reduced.resize(m, nf);
        rhs.resize(m);
        for (size_t i = 0; i < m; ++i) {
            for (size_t j = 0; j < nf; ++j)
                reduced[i][j] = columns[j][i];
            rhs[i] = columns[nf][i];
        }
    }
    columns = Matrix<double>();

    const Matrix<double> factor = reduced;  // R, or the design itself when it is not reduced
    SVD svd(std::move(reduced));
    const double w0 = svd.w[0];
    const double thresh = tolerance > 0.0
                              ? tolerance * w0
                              : 0.5 * std::sqrt(static_cast<double>(m) + nf + 1.0) * w0 * svd.eps;
    svd.solve(rhs, coefficients, thresh);

    // Residuals: |A x - b|^2 = |R x - Q^T b|^2 over the first nf rows plus
    // the tail; without the reduction, from the design itself.
    chiSquare = tailSquares;
    for (size_t i = 0; i < factor.rows(); ++i) {
        double r = -rhs[i];
        for (size_t j = 0; j < nf; ++j)
            r += factor[i][j] * coefficients[j];
        chiSquare += r * r;
    }
    for (size_t i = 0; i < nf; ++i)
        for (size_t j = 0; j <= i; ++j) {
            double s = 0.0;
            for (size_t k = 0; k < nf; ++k)
                if (svd.w[k] > svd.tsh)
                    s += svd.v[i][k] * svd.v[j][k] / (svd.w[k] * svd.w[k]);
            covariance(i, j) = covariance(j, i) = s;
        }
    if (scaled) {
        const int eb = exponents[nf];
        for (size_t j = 0; j < nf; ++j)
            coefficients[j] = std::scalbn(coefficients[j], exponents[j] - eb);
        chiSquare = std::scalbn(chiSquare, -2 * eb);
        for (size_t i = 0; i < nf; ++i)
            for (size_t j = 0; j < nf; ++j)
                covariance(i, j) = std::scalbn(covariance(i, j), exponents[i] + exponents[j]);
    }
}

}  // namespace tarvic
