#pragma once

// Combined 64-bit uniform generator: a linear congruential word u, a
// 64-bit xorshift word v and a multiply-with-carry word w, mixed into one
// output. The state is three words; copying a generator copies its stream.
//
// The pseudo-random engines give every thread slot its own generator, seeded
// from a fixed table on every call, so that repeated runs (and the bumped runs
// of finite-difference sensitivities) draw the same numbers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvic {

class RandomGenerator64 {
public:
    static constexpr uint64_t kMultiplierU = 2862933555777941757ULL;  // 0x27BB2EE687B0B0FD
    static constexpr uint64_t kIncrementU = 7046029254386353087ULL;   // 0x61C8864680B583BF
    static constexpr uint64_t kMultiplierW = 4294957665ULL;           // 0xFFFFDA61
    static constexpr uint64_t kSeedConstant = 4101842887655102017ULL;  // 0x38ECAC5FB3251641

    // 2^-64: maps a 64-bit output to [0, 1].
    static constexpr double kToUnit = 5.421010862427522e-20;

    // Seeds from a 32-bit seed, widened with its sign to 64 bits.
    explicit RandomGenerator64(int32_t seed)
    {
        const uint64_t s = static_cast<uint64_t>(static_cast<int64_t>(seed));
        v_ = kSeedConstant;
        w_ = 1;
        u_ = s ^ v_;
        next();
        v_ = u_;
        next();
        w_ = v_;
        next();
    }

    // Advances the state and returns the next 64-bit output.
    uint64_t next()
    {
        u_ = u_ * kMultiplierU + kIncrementU;
        v_ ^= v_ >> 17;
        v_ ^= v_ << 31;
        v_ ^= v_ >> 8;
        w_ = kMultiplierW * (w_ & 0xFFFFFFFFULL) + (w_ >> 32);
        uint64_t x = u_ ^ (u_ << 21);
        x ^= x >> 35;
        x ^= x << 4;
        return (x + v_) ^ w_;
    }

    // next() times 2^-64: a uniform in [0, 1] (the rounding to double can
    // give exactly 1 for the largest outputs).
    double uniform() { return toDouble(next()) * kToUnit; }

    // The 64-bit integer rounded to the nearest double, as a plain conversion
    // rounds it, without the conversion's branch on the top bit: both halves
    // convert exactly and their sum is rounded once.
    static double toDouble(uint64_t x)
    {
        return static_cast<double>(static_cast<uint32_t>(x >> 32)) * 4294967296.0 +
               static_cast<double>(static_cast<uint32_t>(x));
    }

    friend bool operator==(const RandomGenerator64& a, const RandomGenerator64& b)
    {
        return a.u_ == b.u_ && a.v_ == b.v_ && a.w_ == b.w_;
    }
    friend bool operator!=(const RandomGenerator64& a, const RandomGenerator64& b) { return !(a == b); }

private:
    uint64_t u_ = 0;
    uint64_t v_ = 0;
    uint64_t w_ = 0;
};

// The fixed seeds of the thread slots, in the order of the early-exercise and
// Asian engines; the European engine on pseudo-random numbers takes them in
// the order of kEuropeanSeedOrder.
constexpr size_t kMaxGeneratorSlots = 8;
constexpr std::array<int32_t, kMaxGeneratorSlots> kSeedTable = {17, 19, 25, 27, 48, 67, 71, 72};
constexpr std::array<int32_t, kMaxGeneratorSlots> kEuropeanSeedOrder = {48, 67, 71, 72, 17, 19, 25, 27};

// Number of thread slots of a pseudo-random engine: min(omp_get_max_threads(), 8),
// whether or not the engine runs a thread team.
size_t generatorSlotCount();

// One generator per slot t = 0 .. generatorSlotCount()-1, seeded with seeds[t].
std::vector<RandomGenerator64> makeSlotGenerators(const std::array<int32_t, kMaxGeneratorSlots>& seeds);

// The same for an explicit slot count (1 .. 8); fails with a message naming
// slotCount otherwise.
std::vector<RandomGenerator64> makeSlotGenerators(const std::array<int32_t, kMaxGeneratorSlots>& seeds,
                                                  size_t slotCount);

}  // namespace tarvic
