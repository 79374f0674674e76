#pragma once

// Preconditions checked at the door of a computation. Each failure carries a
// message that names the argument, and reaches the caller as the result text.

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace tarvic {

[[noreturn]] inline void fail(const std::string& message)
{
    throw std::invalid_argument(message);
}

inline void requireFinite(double value, const char* name)
{
    if (!std::isfinite(value))
        fail(std::string("Invalid input: ") + name + " must be a finite number.");
}

inline void requirePositive(double value, const char* name)
{
    requireFinite(value, name);
    if (!(value > 0.0))
        fail(std::string("Invalid input: ") + name + " must be greater than 0.");
}

inline void requireNonNegative(double value, const char* name)
{
    requireFinite(value, name);
    if (!(value >= 0.0))
        fail(std::string("Invalid input: ") + name + " must not be negative.");
}

inline void requireAtLeast(long long value, long long least, const char* name)
{
    if (value < least)
        fail(std::string("Invalid input: ") + name + " must be at least " + std::to_string(least) + ".");
}

inline void requireCode(int value, int first, int last, const char* name)
{
    if (value < first || value > last)
        fail(std::string("Invalid input: ") + name + " must be one of " + std::to_string(first) +
             ".." + std::to_string(last) + ".");
}

}  // namespace tarvic
