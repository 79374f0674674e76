/*
 * Counted result text shared by the library and its callers.
 *
 * Memory layout (the layout of an OLE Automation string):
 *
 *     [uint32 byte length][bytes of the text][0][0]
 *                          ^ the pointer handed out points here
 *
 * The library allocates the text; the caller reads its length with
 * tvStringByteLen and releases it with tvFreeString, both exported by the
 * library under these names, so a caller in any language (C, C++, Python
 * ctypes, ...) binds them like the pricers and never needs to know the
 * layout or the allocator. An empty text (byte length 0) means success;
 * otherwise the bytes are the failure's message, 8-bit characters,
 * unchanged, followed by a zero byte, so the text also reads as a
 * NUL-terminated C string.
 */
#ifndef TARVIC_COUNTED_STRING_H
#define TARVIC_COUNTED_STRING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char* TvString;

/* Byte length stored in front of the text (the terminating zeros not
 * counted); 0 for NULL. */
uint32_t tvStringByteLen(TvString text);

/* Releases a text returned by any of the library's exports; NULL is
 * accepted and ignored. Each text is freed once, by this function only
 * (never by free(), which would be handed the wrong address). */
void tvFreeString(TvString text);

#ifdef __cplusplus
}
#endif

#endif
