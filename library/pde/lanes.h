#pragma once

// Eight solutions side by side, one per vector lane: the planes of an Asian
// option that share a grid, a time step and a factorisation are stepped
// together, node by node, each lane doing exactly what a single solve does.
//
// A value is 8 / W native vectors of W doubles (two 4-wide vectors where
// AVX2 is compiled in, four 2-wide ones on the baseline), 64 bytes either way,
// so one buffer of LaneBlocks serves both. Every operation works lane by
// lane; none mixes lanes, so a lane rounds exactly as a scalar would.

#include <cstddef>

#define TARVIC_ALWAYS_INLINE inline __attribute__((always_inline))

namespace tarvic {

inline constexpr int kPlaneLanes = 8;

// One node of eight lanes in memory. The vector types below may alias it.
struct alignas(64) LaneBlock {
    double lane[kPlaneLanes];
};

// Native vectors of W doubles; they may alias the doubles of a LaneBlock.
template <int W>
struct NativeVector;
template <>
struct NativeVector<2> {
    typedef double type __attribute__((vector_size(16), may_alias));
};
template <>
struct NativeVector<4> {
    typedef double type __attribute__((vector_size(32), may_alias));
};

// Aligned as a LaneBlock, so that a value held on the stack (a boundary
// row) may be handed to a kernel of either width.
template <int W>
struct alignas(64) Lanes {
    using V = typename NativeVector<W>::type;
    static constexpr int K = kPlaneLanes / W;
    V part[K];

    static TARVIC_ALWAYS_INLINE Lanes all(double x)
    {
        Lanes r;
        for (int k = 0; k < K; ++k)
            r.part[k] = V{} + x;
        return r;
    }
    TARVIC_ALWAYS_INLINE double operator[](int lane) const { return part[lane / W][lane % W]; }
    TARVIC_ALWAYS_INLINE void set(int lane, double x) { part[lane / W][lane % W] = x; }
};

// The lanes as the wide (AVX2) and the baseline (SSE2) code see them.
using WideLanes = Lanes<4>;
using BaselineLanes = Lanes<2>;
static_assert(sizeof(WideLanes) == sizeof(LaneBlock) && sizeof(BaselineLanes) == sizeof(LaneBlock),
              "eight doubles");

// The lanes at p, the first double of a LaneBlock.
template <class L>
TARVIC_ALWAYS_INLINE L* asLanes(double* p)
{
    return reinterpret_cast<L*>(p);
}
template <class L>
TARVIC_ALWAYS_INLINE const L* asLanes(const double* p)
{
    return reinterpret_cast<const L*>(p);
}

#define TARVIC_LANEWISE(expr)               \
    Lanes<W> r;                             \
    for (int k = 0; k < Lanes<W>::K; ++k)   \
        r.part[k] = (expr);                 \
    return r

template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator+(const Lanes<W>& a, const Lanes<W>& b)
{
    TARVIC_LANEWISE(a.part[k] + b.part[k]);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator-(const Lanes<W>& a, const Lanes<W>& b)
{
    TARVIC_LANEWISE(a.part[k] - b.part[k]);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator-(const Lanes<W>& a)
{
    TARVIC_LANEWISE(-a.part[k]);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator*(const Lanes<W>& a, const Lanes<W>& b)
{
    TARVIC_LANEWISE(a.part[k] * b.part[k]);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator*(double s, const Lanes<W>& b)
{
    TARVIC_LANEWISE(s * b.part[k]);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator*(const Lanes<W>& a, double s)
{
    TARVIC_LANEWISE(a.part[k] * s);
}
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> operator/(const Lanes<W>& a, double s)
{
    TARVIC_LANEWISE(a.part[k] / s);
}

// v where v > floor, else floor (a NaN gives the floor), as the scalar
// projection `v > f ? v : f`.
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> atLeast(const Lanes<W>& v, const Lanes<W>& floor)
{
    TARVIC_LANEWISE(v.part[k] > floor.part[k] ? v.part[k] : floor.part[k]);
}
TARVIC_ALWAYS_INLINE double atLeast(double v, double floor) { return v > floor ? v : floor; }

// std::max(v, floor) lane by lane: floor where v < floor, else v (a NaN is
// kept).
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> maxKeepingNaN(const Lanes<W>& v, const Lanes<W>& floor)
{
    TARVIC_LANEWISE(v.part[k] < floor.part[k] ? floor.part[k] : v.part[k]);
}
TARVIC_ALWAYS_INLINE double maxKeepingNaN(double v, double floor) { return v < floor ? floor : v; }

// a where the lane of `use` is non-zero, else b.
template <int W>
TARVIC_ALWAYS_INLINE Lanes<W> select(const Lanes<W>& use, const Lanes<W>& a,
                                        const Lanes<W>& b)
{
    TARVIC_LANEWISE(use.part[k] != 0.0 ? a.part[k] : b.part[k]);
}
TARVIC_ALWAYS_INLINE double select(double use, double a, double b) { return use != 0.0 ? a : b; }

#undef TARVIC_LANEWISE

}  // namespace tarvic
