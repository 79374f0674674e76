#pragma once

// The boundary between the exports and their callers: flags, the counted
// result text, and the guard that turns every exception into that text.

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>

#include "tarvic/counted_string.h"

namespace tarvic {

// A flag counts by its low byte: 256 is clear, 1 and 65535 are set.
inline bool flagSet(int32_t flag) { return (flag & 0xFF) != 0; }

// The text of an exception that is not a std::exception.
inline constexpr const char* kUnknownFailureText = "Unknown failure in the pricing library.";

inline TvString makeResultText(const char* message)
{
    const size_t length = message ? std::strlen(message) : 0u;
    return tvAllocStringByteLen(message, static_cast<uint32_t>(length));
}

inline TvString successText() { return makeResultText(""); }

// Runs body(); success gives the empty text, any exception its message.
// Nothing but the result text crosses the C boundary.
template <class Body>
TvString guardedExport(Body&& body) noexcept
{
    try {
        body();
        return successText();
    } catch (const std::exception& e) {
        return makeResultText(e.what());
    } catch (...) {
        return makeResultText(kUnknownFailureText);
    }
}

}  // namespace tarvic
