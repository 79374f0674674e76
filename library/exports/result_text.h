#pragma once

// The boundary between the exports and their callers: flags, the counted
// result text, and the guard that turns every exception into that text.

#include <cstddef>
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

// The allocation behind every result text: std::malloc, or a stand-in that
// fails (the seam through which tests run out of memory).
using TextAllocation = void* (*)(size_t);

// A text fixed in the library, never allocated: tvFreeString leaves it alone.
// The bytes sit behind their byte length as in an allocated text.
template <size_t N>
struct FixedText {
    uint32_t byteLength;
    char bytes[N];
};

// The success text (empty) and the text of a failure whose own text could
// not be allocated. Every text of these bytes is the fixed one (allocText
// never allocates them), so tvFreeString knows them by their bytes, whichever
// copy of this header made them.
inline FixedText<2> successFixedText{0u, {0, 0}};
inline constexpr char kOutOfMemoryText[] =
    "Out of memory: the call failed and the library had no memory left for its message. Free memory "
    "(close other programs, or ask for fewer paths, steps or nodes) and call again.";
template <size_t N>
constexpr FixedText<N + 1> fixedTextOf(const char (&message)[N])
{
    FixedText<N + 1> fixed{static_cast<uint32_t>(N - 1), {}};
    for (size_t i = 0; i < N; ++i)
        fixed.bytes[i] = message[i];
    return fixed;
}
inline FixedText<sizeof kOutOfMemoryText + 1> outOfMemoryFixedText = fixedTextOf(kOutOfMemoryText);
static_assert(offsetof(FixedText<2>, bytes) == kTextPrefixBytes, "the bytes follow their length");

// Whether the text of byteLength bytes at text is one of the fixed texts.
inline bool isFixedText(const char* text, uint32_t byteLength)
{
    return byteLength == 0u ||
           (byteLength == sizeof kOutOfMemoryText - 1 && std::memcmp(text, kOutOfMemoryText, byteLength) == 0);
}

// A counted text of byteLength bytes copied from bytes (NULL: zeros),
// released by the exported tvFreeString. Never NULL: an empty text and the
// out-of-memory text are the fixed ones, and when the allocation fails the
// text is the out-of-memory text.
inline TvString allocText(const char* bytes, uint32_t byteLength, TextAllocation allocate = std::malloc)
{
    if (byteLength == 0u)
        return successFixedText.bytes;
    if (bytes && isFixedText(bytes, byteLength))
        return outOfMemoryFixedText.bytes;
    auto* block = static_cast<unsigned char*>(allocate(static_cast<size_t>(byteLength) + kTextPrefixBytes + 2u));
    if (!block)
        return outOfMemoryFixedText.bytes;
    std::memcpy(block, &byteLength, kTextPrefixBytes);
    char* text = reinterpret_cast<char*>(block + kTextPrefixBytes);
    if (bytes)
        std::memcpy(text, bytes, byteLength);
    else
        std::memset(text, 0, byteLength);
    text[byteLength] = 0;
    text[byteLength + 1u] = 0;
    return text;
}

inline TvString makeResultText(const char* message, TextAllocation allocate = std::malloc)
{
    const size_t length = message ? std::strlen(message) : 0u;
    return allocText(message, static_cast<uint32_t>(length), allocate);
}

inline TvString successText() { return successFixedText.bytes; }

// Runs body(); success gives the empty text, any exception its message.
// Nothing but the result text crosses the C boundary. The memory available
// is read at most once a call.
template <class Body>
TvString guardedExport(Body&& body, TextAllocation allocate = std::malloc) noexcept
{
    try {
        const MemoryProbeScope oneProbe;
        body();
        return successText();
    } catch (const std::exception& e) {
        return makeResultText(e.what(), allocate);
    } catch (...) {
        return makeResultText(kUnknownFailureText, allocate);
    }
}

}  // namespace tarvic
