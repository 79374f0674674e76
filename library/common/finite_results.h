#pragma once

// Results reach a caller only when every number in them is finite: a call
// computes what it will write, checks all of it, and only then copies it
// into the caller's arrays. One NaN or infinity anywhere fails the whole
// call and leaves every array as the caller passed it.

#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <vector>

namespace tarvic {

inline bool allFinite(const double* values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i]))
            return false;
    return true;
}

inline bool allFinite(const std::vector<double>& values) { return allFinite(values.data(), values.size()); }

// The lowest entry of a column, +infinity for an empty one.
inline double lowestOf(const std::vector<double>& values)
{
    double lowest = std::numeric_limits<double>::infinity();
    for (double v : values)
        lowest = v < lowest ? v : lowest;
    return lowest;
}

// Throws std::runtime_error(text) unless every entry of every column is finite.
inline void requireFiniteResults(std::initializer_list<const std::vector<double>*> columns, const char* text)
{
    for (const std::vector<double>* column : columns)
        if (column && !allFinite(*column))
            throw std::runtime_error(text);
}

}  // namespace tarvic
