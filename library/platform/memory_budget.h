#pragma once

// How much memory a computation may still claim on this machine. On Linux an
// oversized allocation may succeed and the process be killed when the pages
// are first touched, so large working sets are compared with this figure
// before they are allocated.

#include <cstddef>

namespace tarvic {

// The smallest of: the memory the kernel reports as available, the room left
// under the control group's limit, and the room left under the address-space
// limit of the process. SIZE_MAX when none of them can be read.
std::size_t availableMemoryBytes();

// a * b, or false when the product does not fit a size_t.
inline bool multiplySizes(std::size_t a, std::size_t b, std::size_t& product)
{
    return !__builtin_mul_overflow(a, b, &product);
}

}  // namespace tarvic
