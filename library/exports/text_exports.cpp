// The counted result text's length and release, exported by name so that a
// caller in any language frees the library's texts with the library's own
// allocator.

#include "exports/result_text.h"
#include "platform/export.h"
#include "tarvic/counted_string.h"

#include <cstdlib>
#include <cstring>

TARVIC_EXPORT uint32_t tvStringByteLen(TvString text)
{
    uint32_t byteLength = 0u;
    if (text)
        std::memcpy(&byteLength, text - tarvic::kTextPrefixBytes, sizeof byteLength);
    return byteLength;
}

TARVIC_EXPORT void tvFreeString(TvString text)
{
    if (text && !tarvic::isFixedText(text, tvStringByteLen(text)))
        std::free(text - tarvic::kTextPrefixBytes);
}
