#include "pde/step_kernels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "pde/lanes.h"

namespace tarvic {

namespace {

template <class T>
TARVIC_ALWAYS_INLINE const T* view(const double* p)
{
    return reinterpret_cast<const T*>(p);
}
template <class T>
TARVIC_ALWAYS_INLINE T* view(double* p)
{
    return reinterpret_cast<T*>(p);
}

// Right-hand side of row i from the old level.
template <class T, bool CrankNicolson>
TARVIC_ALWAYS_INLINE T rightHandSide(const EliminationStep& s, const T* old, int i)
{
    if constexpr (CrankNicolson)
        return -(s.lower[i] * old[i - 1] + s.centre[i] * old[i] + s.upper[i] * old[i + 1]);
    else
        return -old[i];
}

// One step on rows 1..m; T is double or a lane type.
template <class T, bool CrankNicolson, Projection P>
TARVIC_ALWAYS_INLINE void eliminate(const EliminationStep& s)
{
    const int m = s.m;
    const double* l = s.multiplier;
    const double* r = s.recipPivot;
    const double* q = s.scaledOff;
    const T* old = view<T>(s.old);
    const T* floor = view<T>(s.floor);
    T* z = view<T>(s.scratch);
    T* V = view<T>(s.out);

    if constexpr (P != Projection::Upward) {
        T w = *view<T>(s.first);
        z[1] = w * r[1];
        for (int i = 2; i < m; ++i) {
            w = rightHandSide<T, CrankNicolson>(s, old, i) - l[i] * w;
            z[i] = w * r[i];
        }
        w = *view<T>(s.last) - l[m] * w;
        T v = w * r[m];
        if constexpr (P == Projection::Downward)
            v = atLeast(v, floor[m]);
        V[m] = v;
        for (int i = m - 1; i >= 1; --i) {
            v = z[i] - q[i] * v;
            if constexpr (P == Projection::Downward)
                v = atLeast(v, floor[i]);
            V[i] = v;
        }
    } else {
        T w = *view<T>(s.last);
        z[m] = w * r[m];
        for (int i = m - 1; i > 1; --i) {
            w = rightHandSide<T, CrankNicolson>(s, old, i) - l[i] * w;
            z[i] = w * r[i];
        }
        w = *view<T>(s.first) - l[1] * w;
        T v = atLeast(w * r[1], floor[1]);
        V[1] = v;
        for (int i = 2; i <= m; ++i) {
            v = atLeast(z[i] - q[i] * v, floor[i]);
            V[i] = v;
        }
    }
}

// The two compilations of every kernel: Lanes is the lane type native to
// the target.
#define TARVIC_STEP_KERNELS(name, Lanes, target_attribute)                                      \
    template <bool Wide, bool CrankNicolson, Projection P>                                    \
    target_attribute void name(const EliminationStep& s)                                      \
    {                                                                                         \
        if constexpr (Wide)                                                                   \
            eliminate<Lanes, CrankNicolson, P>(s);                                            \
        else                                                                                  \
            eliminate<double, CrankNicolson, P>(s);                                           \
    }

TARVIC_STEP_KERNELS(baselineStep, BaselineLanes, )
TARVIC_STEP_KERNELS(v3Step, WideLanes, __attribute__((target("arch=x86-64-v3"))))
#undef TARVIC_STEP_KERNELS

#define TARVIC_KERNEL_ROW(f, lanes, cn)                                                          \
    {                                                                                          \
        f<lanes, cn, Projection::None>, f<lanes, cn, Projection::Downward>,                    \
            f<lanes, cn, Projection::Upward>                                                   \
    }
#define TARVIC_KERNEL_TABLE(f)                                                                 \
    {                                                                                          \
        {TARVIC_KERNEL_ROW(f, false, false), TARVIC_KERNEL_ROW(f, false, true)},               \
        {                                                                                      \
            TARVIC_KERNEL_ROW(f, true, false), TARVIC_KERNEL_ROW(f, true, true)                \
        }                                                                                      \
    }

const StepKernels kBaseline{"x86-64", TARVIC_KERNEL_TABLE(baselineStep)};
const StepKernels kV3{"x86-64-v3", TARVIC_KERNEL_TABLE(v3Step)};
#undef TARVIC_KERNEL_TABLE
#undef TARVIC_KERNEL_ROW

}  // namespace

// GCC knows the level by name; clang (the ThreadSanitizer build) knows only
// its features, of which the vector kernels need AVX, AVX2, FMA and the BMI
// sets.
bool machineRunsX86_64_v3()
{
    __builtin_cpu_init();
#if defined(__clang__)
    return __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
           __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2");
#else
    return __builtin_cpu_supports("x86-64-v3");
#endif
}

namespace {

const StepKernels* fromMachine()
{
    const char* wanted = std::getenv("TARVIC_KERNELS");
    if (wanted && std::strcmp(wanted, "baseline") == 0)
        return &kBaseline;
    return machineRunsX86_64_v3() ? &kV3 : &kBaseline;
}

std::atomic<const StepKernels*> gChosen{nullptr};

}  // namespace

const StepKernels& stepKernels()
{
    const StepKernels* k = gChosen.load(std::memory_order_acquire);
    if (!k) {
        // Threads that race here make the same choice.
        k = fromMachine();
        gChosen.store(k, std::memory_order_release);
    }
    return *k;
}

void useBaselineKernels(bool baseline)
{
    gChosen.store(baseline ? &kBaseline : fromMachine(), std::memory_order_release);
}

}  // namespace tarvic
