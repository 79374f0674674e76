#include "montecarlo/random_generator64.h"

#include <algorithm>
#include <string>

#include <omp.h>

#include "common/require.h"

namespace tarvic {

size_t generatorSlotCount()
{
    const int threads = omp_get_max_threads();
    return std::min(static_cast<size_t>(std::max(threads, 1)), kMaxGeneratorSlots);
}

std::vector<RandomGenerator64> makeSlotGenerators(const std::array<int32_t, kMaxGeneratorSlots>& seeds)
{
    return makeSlotGenerators(seeds, generatorSlotCount());
}

std::vector<RandomGenerator64> makeSlotGenerators(const std::array<int32_t, kMaxGeneratorSlots>& seeds,
                                                  size_t slotCount)
{
    if (slotCount < 1 || slotCount > kMaxGeneratorSlots)
        fail("Invalid input: slotCount must be between 1 and " + std::to_string(kMaxGeneratorSlots) + ".");
    std::vector<RandomGenerator64> generators;
    generators.reserve(slotCount);
    for (size_t t = 0; t < slotCount; ++t)
        generators.emplace_back(seeds[t]);
    return generators;
}

}  // namespace tarvic
