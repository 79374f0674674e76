#pragma once

// The boundary between the exports and their callers: flags, the counted
// result text, and the guard that turns every exception into that text.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "platform/memory_budget.h"
#include "tarvic/counted_string.h"

namespace tarvic {

// A flag counts by its low byte: 256 is clear, 1 and 65535 are set.
inline bool flagSet(int32_t flag) { return (flag & 0xFF) != 0; }

// The text of an exception that is not a std::exception.
inline constexpr const char* kUnknownFailureText = "Unknown failure in the pricing library.";

// The byte length in front of a text (tarvic/counted_string.h).
inline constexpr size_t kTextPrefixBytes = sizeof(uint32_t);

// A counted text of byteLength bytes copied from bytes (NULL: zeros),
// released by the exported tvFreeString. NULL only when memory runs out.
inline TvString allocText(const char* bytes, uint32_t byteLength)
{
    auto* block = static_cast<unsigned char*>(
        std::malloc(static_cast<size_t>(byteLength) + kTextPrefixBytes + 2u));
    if (!block)
        return nullptr;
    std::memcpy(block, &byteLength, kTextPrefixBytes);
    char* text = reinterpret_cast<char*>(block + kTextPrefixBytes);
    if (byteLength > 0u && bytes)
        std::memcpy(text, bytes, byteLength);
    else if (byteLength > 0u)
        std::memset(text, 0, byteLength);
    text[byteLength] = 0;
    text[byteLength + 1u] = 0;
    return text;
}

inline TvString makeResultText(const char* message)
{
    const size_t length = message ? std::strlen(message) : 0u;
    return allocText(message, static_cast<uint32_t>(length));
}

inline TvString successText() { return makeResultText(""); }

// Runs body(); success gives the empty text, any exception its message.
// Nothing but the result text crosses the C boundary. The memory available
// is read at most once a call.
template <class Body>
TvString guardedExport(Body&& body) noexcept
{
    try {
        const MemoryProbeScope oneProbe;
        body();
        return successText();
    } catch (const std::exception& e) {
        return makeResultText(e.what());
    } catch (...) {
        return makeResultText(kUnknownFailureText);
    }
}

}  // namespace tarvic
