#include "montecarlo/regression_basis.h"

#include <cmath>

namespace tarvic {

namespace {

// The explicit Laguerre polynomials L_1 .. L_4 at x.
struct Laguerre4 {
    double l1, l2, l3, l4;
    explicit Laguerre4(double x)
    {
        const double x2 = x * x, x3 = x2 * x;
        l1 = 1.0 - x;
        l2 = 1.0 - 2.0 * x + 0.5 * x2;
        l3 = (6.0 - 18.0 * x + 9.0 * x2 - x3) / 6.0;
        l4 = (24.0 - 96.0 * x + 72.0 * x2 - 16.0 * x3 + x2 * x2) / 24.0;
    }
};

void powerValues4(const double* p, double* v)
{
    const double x = p[0];
    v[0] = 1.0;
    v[1] = x;
    v[2] = x * x;
    v[3] = x * x * x;
}

// 1, g_0 .. g_(last) with the explicit polynomials (last <= 4).
void weightedExplicit(double x, int last, double* v)
{
    const double e = std::exp(-0.5 * x);
    const Laguerre4 l(x);
    v[0] = 1.0;
    v[1] = e;
    v[2] = e * l.l1;
    v[3] = e * l.l2;
    v[4] = e * l.l3;
    if (last >= 4)
        v[5] = e * l.l4;
}

// 1, g_0 .. g_9 by the recurrence on the weighted values.
void weightedRecurrence(double x, double* v)
{
    v[0] = 1.0;
    v[1] = std::exp(-0.5 * x);
    v[2] = (1.0 - x) * v[1];
    for (int n = 1; n < 9; ++n)
        v[n + 2] = ((2.0 * n + 1.0 - x) * v[n + 1] - n * v[n]) / (n + 1.0);
}

void laguerreValues5(const double* p, double* v) { weightedExplicit(p[0], 3, v); }
void laguerreValues6(const double* p, double* v) { weightedExplicit(p[0], 4, v); }

void laguerreValues7Call(const double* p, double* v)
{
    weightedExplicit(p[0], 4, v);
    v[6] = p[0] > 1.0 ? p[0] - 1.0 : 0.0;
}

void laguerreValues7Put(const double* p, double* v)
{
    weightedExplicit(p[0], 4, v);
    v[6] = p[0] < 1.0 ? 1.0 - p[0] : 0.0;
}

void laguerreValues11(const double* p, double* v) { weightedRecurrence(p[0], v); }

void laguerreValues13(const double* p, double* v)
{
    weightedRecurrence(p[0], v);
    v[11] = p[0] > 1.0 ? p[0] - 1.0 : 0.0;
    v[12] = p[0] < 1.0 ? 1.0 - p[0] : 0.0;
}

void laguerreValues2D24(const double* p, double* v)
{
    const Laguerre4 lx(p[0]), ly(p[1]);
    const double fx[4] = {lx.l1, lx.l2, lx.l3, lx.l4};
    const double fy[4] = {ly.l1, ly.l2, ly.l3, ly.l4};
    int k = 0;
    v[k++] = 1.0;
    for (double f : fx)
        v[k++] = f;
    for (double f : fy)
        v[k++] = f;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (i < 3 || j < 3)
                v[k++] = fy[j] * fx[i];
}

// g_0 .. g_2 of one coordinate.
void weightedThree(double x, double* g)
{
    const double e = std::exp(-0.5 * x);
    g[0] = e;
    g[1] = e * (1.0 - x);
    g[2] = e * (1.0 - 2.0 * x + 0.5 * x * x);
}

void laguerreValues2D13(const double* p, double* v)
{
    double g[3], h[3];
    weightedThree(p[0], g);
    weightedThree(p[1], h);
    v[0] = 1.0;
    v[1] = g[0];
    v[2] = g[1];
    v[3] = g[2];
    v[4] = h[0];
    v[5] = h[1];
    v[6] = h[2];
    v[7] = h[0] * g[0];
    v[8] = h[1] * g[0];
    v[9] = h[2] * g[0];
    v[10] = h[0] * g[1];
    v[11] = h[1] * g[1];
    v[12] = h[0] * g[2];
}

void laguerreValues2D16(const double* p, double* v)
{
    double g[3], h[3];
    weightedThree(p[0], g);
    weightedThree(p[1], h);
    int k = 0;
    v[k++] = 1.0;
    for (double f : g)
        v[k++] = f;
    for (double f : h)
        v[k++] = f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            v[k++] = h[j] * g[i];
}

// 1; e^(-x/2), L_1..L_d(x); e^(-y/2), L_1..L_d(y); products, x-function outer.
void mixedValues(const double* p, int degree, double* v)
{
    const Laguerre4 lx(p[0]), ly(p[1]);
    const double fx[5] = {std::exp(-0.5 * p[0]), lx.l1, lx.l2, lx.l3, lx.l4};
    const double fy[5] = {std::exp(-0.5 * p[1]), ly.l1, ly.l2, ly.l3, ly.l4};
    const int count = degree + 1;
    int k = 0;
    v[k++] = 1.0;
    for (int i = 0; i < count; ++i)
        v[k++] = fx[i];
    for (int j = 0; j < count; ++j)
        v[k++] = fy[j];
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            v[k++] = fy[j] * fx[i];
}

void laguerreValues2D25(const double* p, double* v) { mixedValues(p, 3, v); }
void laguerreValues2D36(const double* p, double* v) { mixedValues(p, 4, v); }

}  // namespace

const BasisFunctions powerBasis4{"powerBasis4", 4, 1, powerValues4};
const BasisFunctions laguerreBasis5{"laguerreBasis5", 5, 1, laguerreValues5};
const BasisFunctions laguerreBasis6{"laguerreBasis6", 6, 1, laguerreValues6};
const BasisFunctions laguerreBasis7Call{"laguerreBasis7Call", 7, 1, laguerreValues7Call};
const BasisFunctions laguerreBasis7Put{"laguerreBasis7Put", 7, 1, laguerreValues7Put};
const BasisFunctions laguerreBasis11{"laguerreBasis11", 11, 1, laguerreValues11};
const BasisFunctions laguerreBasis13{"laguerreBasis13", 13, 1, laguerreValues13};

const BasisFunctions laguerreBasis2D24{"laguerreBasis2D24", 24, 2, laguerreValues2D24};
const BasisFunctions laguerreBasis2D13{"laguerreBasis2D13", 13, 2, laguerreValues2D13};
const BasisFunctions laguerreBasis2D16{"laguerreBasis2D16", 16, 2, laguerreValues2D16};
const BasisFunctions laguerreBasis2D25{"laguerreBasis2D25", 25, 2, laguerreValues2D25};
const BasisFunctions laguerreBasis2D36{"laguerreBasis2D36", 36, 2, laguerreValues2D36};

const BasisFunctions& exerciseBasisFor(int32_t basisCount, int32_t optionType)
{
    switch (basisCount) {
    case 4:
        return powerBasis4;
    case 5:
        return laguerreBasis5;
    case 6:
        return laguerreBasis6;
    case 7:
        if (optionType == 0)
            return laguerreBasis7Call;
        if (optionType == 1)
            return laguerreBasis7Put;
        return laguerreBasis13;
    case 11:
        return laguerreBasis11;
    default:
        return laguerreBasis13;
    }
}

const BasisFunctions& asianBasisFor(int32_t basisCount)
{
    switch (basisCount) {
    case 11:
        return laguerreBasis2D13;
    case 16:
        return laguerreBasis2D16;
    case 25:
        return laguerreBasis2D25;
    default:
        return laguerreBasis2D36;
    }
}

Vector<double> basisValues(const BasisFunctions& basis, const double* point)
{
    Vector<double> values(static_cast<size_t>(basis.count));
    basis.evaluate(point, values.data());
    return values;
}

}  // namespace tarvic
