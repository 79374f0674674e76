#pragma once

// Asian options with known values: S = K = 100, r = 0.06, q = 0.03,
// sigma = 0.2; ten fixings at T/10, ..., T with T = 1, or five settled at
// 105 and five to come with T = 0.5. The European fixed-strike values are
// those of a control-variate simulation (standard error 2e-5; the example
// of Clewlow and Strickland gives 5.5327 and 3.9624), the floating ones
// within 5e-4; the values exercisable at the fixings are checked by the
// finite-difference pricer and a lattice (asian_references_test.cpp).

#include <cstdint>

namespace tarvic_test {

struct AsianCase {
    const char* name;
    bool call;
    bool floating;
    int32_t numFixings;  // still to come
    int32_t numSettled;
    double settledAverage;
    double expiry;
    double european;
    double exercisable;  // at every fixing
};

constexpr double kAsianSpot = 100.0;
constexpr double kAsianStrike = 100.0;
constexpr double kAsianRate = 0.06;
constexpr double kAsianDividend = 0.03;
constexpr double kAsianVolatility = 0.2;

inline const AsianCase kAsianCases[] = {
    {"fixed call", true, false, 10, 0, 0.0, 1.0, 5.5328, 5.9632},
    {"fixed put", false, false, 10, 0, 0.0, 1.0, 3.9624, 4.4210},
    {"floating call", true, true, 10, 0, 0.0, 1.0, 4.7735, 5.8287},
    {"floating put", false, true, 10, 0, 0.0, 1.0, 3.4757, 4.8322},
    {"fixed call, five settled at 105", true, false, 5, 5, 105.0, 0.5, 3.5627, 4.7382},
    {"fixed put, five settled at 105", false, false, 5, 5, 105.0, 0.5, 0.6973, 0.6975},
};

}  // namespace tarvic_test
