#include "montecarlo/random_generator64.h"

#include <cstdint>
#include <set>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

namespace tarvic {
namespace {

// Independent transcription of the combined generator, step by step from its
// definition (hexadecimal constants, explicit modular arithmetic).
struct ReferenceGenerator {
    uint64_t u, v, w;

    uint64_t step()
    {
        u = u * 0x27BB2EE687B0B0FDULL + 0x61C8864680B583BFULL;
        v = v ^ (v >> 17);
        v = v ^ (v << 31);
        v = v ^ (v >> 8);
        w = 0xFFFFDA61ULL * (w & 0xFFFFFFFFULL) + (w >> 32);
        uint64_t x = u ^ (u << 21);
        x = x ^ (x >> 35);
        x = x ^ (x << 4);
        return (x + v) ^ w;
    }

    explicit ReferenceGenerator(int32_t seed)
    {
        const int64_t wide = seed;
        v = 0x38ECAC5FB3251641ULL;
        w = 1;
        u = static_cast<uint64_t>(wide) ^ v;
        step();
        v = u;
        step();
        w = v;
        step();
    }
};

// Negative seeds check the widening with the sign (-1 becomes 2^64 - 1).
TEST(RandomGenerator64, FirstOutputsMatchTheDefinitionForTableSeeds)
{
    for (int32_t seed : {17, 19, 48, -1, 0, 2147483647}) {
        RandomGenerator64 generator(seed);
        ReferenceGenerator reference(seed);
        for (int n = 0; n < 1000; ++n)
            ASSERT_EQ(generator.next(), reference.step()) << "seed " << seed << ", output " << n;
    }
}

// First outputs worked out separately in arbitrary-precision integer arithmetic.
TEST(RandomGenerator64, FirstOutputsOfSeeds17And19And48)
{
    struct Case {
        int32_t seed;
        uint64_t first[3];
    };
    const Case cases[] = {
        {17, {0x03BF1034BEBB6128ULL, 0x67C63FBD5BFD7420ULL, 0xE223630C5E7120B7ULL}},
        {19, {0x7BBD8665DD33ECDAULL, 0x9C3BCF979A5F6CD7ULL, 0x01B11EF85B500851ULL}},
        {48, {0x11685AB309DD45C6ULL, 0xAD6E041276C2B891ULL, 0x2DE43E5C371F5824ULL}},
    };
    for (const Case& c : cases) {
        RandomGenerator64 generator(c.seed);
        for (uint64_t expected : c.first)
            EXPECT_EQ(generator.next(), expected) << "seed " << c.seed;
    }
}

TEST(RandomGenerator64, UniformIsTheOutputTimesTwoToMinus64)
{
    RandomGenerator64 generator(48);
    RandomGenerator64 copy = generator;
    for (int n = 0; n < 100; ++n) {
        const double u = generator.uniform();
        EXPECT_EQ(u, static_cast<double>(copy.next()) / 18446744073709551616.0);
        EXPECT_GE(u, 0.0);
        EXPECT_LE(u, 1.0);
    }
}

// The branch-free conversion rounds exactly as the plain one, ties included.
TEST(RandomGenerator64, ConversionToDoubleRoundsAsTheLanguageDoes)
{
    const uint64_t values[] = {0,
                               1,
                               0xFFFFFFFFULL,
                               0x100000000ULL,
                               (1ULL << 53) + 1,
                               (1ULL << 54) + 2,
                               (1ULL << 54) + 6,
                               0x8000000000000400ULL,
                               0x8000000000000C00ULL,
                               0x80000000000007FFULL,
                               0xFFFFFFFFFFFFFBFFULL,
                               0xFFFFFFFFFFFFFC00ULL,
                               0xFFFFFFFFFFFFFFFFULL};
    for (uint64_t x : values)
        EXPECT_EQ(RandomGenerator64::toDouble(x), static_cast<double>(x)) << std::hex << x;
    RandomGenerator64 generator(71);
    for (int n = 0; n < 100000; ++n) {
        const uint64_t x = generator.next();
        ASSERT_EQ(RandomGenerator64::toDouble(x), static_cast<double>(x)) << std::hex << x;
    }
    EXPECT_EQ(RandomGenerator64::toDouble(~0ULL) * RandomGenerator64::kToUnit, 1.0);
}

TEST(RandomGenerator64, EqualSeedsGiveEqualStreamsAndDifferentSeedsDifferAtOnce)
{
    RandomGenerator64 a(17), b(17), c(19);
    EXPECT_EQ(a, b);
    EXPECT_NE(a.next(), c.next());
    b.next();
    for (int n = 0; n < 100; ++n)
        EXPECT_EQ(a.next(), b.next());
}

TEST(RandomGenerator64, SeedTablesHoldTheEightSeedsInBothOrders)
{
    EXPECT_EQ(kSeedTable, (std::array<int32_t, 8>{17, 19, 25, 27, 48, 67, 71, 72}));
    EXPECT_EQ(kEuropeanSeedOrder, (std::array<int32_t, 8>{48, 67, 71, 72, 17, 19, 25, 27}));
    EXPECT_EQ(std::set<int32_t>(kSeedTable.begin(), kSeedTable.end()),
              std::set<int32_t>(kEuropeanSeedOrder.begin(), kEuropeanSeedOrder.end()));
}

TEST(RandomGenerator64, SlotGeneratorsFollowTheThreadCountCappedAtEight)
{
    const int saved = omp_get_max_threads();
    for (int threads : {1, 4, 8, 12}) {
        omp_set_num_threads(threads);
        const size_t expected = static_cast<size_t>(threads < 8 ? threads : 8);
        EXPECT_EQ(generatorSlotCount(), expected);
        std::vector<RandomGenerator64> slots = makeSlotGenerators(kEuropeanSeedOrder);
        ASSERT_EQ(slots.size(), expected);
        for (size_t t = 0; t < expected; ++t)
            EXPECT_EQ(slots[t], RandomGenerator64(kEuropeanSeedOrder[t])) << "slot " << t;
    }
    omp_set_num_threads(saved);
}

TEST(RandomGenerator64, SlotCountOutsideOneToEightIsRefused)
{
    for (size_t count : {size_t(0), size_t(9)}) {
        try {
            makeSlotGenerators(kSeedTable, count);
            FAIL() << "accepted " << count;
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find("slotCount"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tarvic
