/*
 * Counted result text shared by the library and its callers.
 *
 * Memory layout (the layout of an OLE Automation string):
 *
 *     [uint32 byte length][bytes of the text][0][0]
 *                          ^ the pointer handed out points here
 *
 * The library allocates the text; the caller releases it with
 * tvFreeString. Both sides include this header, so both use the same
 * allocator. An empty text (byte length 0) means success; otherwise the
 * bytes are the failure's message, 8-bit characters, unchanged.
 */
#ifndef TARVIC_COUNTED_STRING_H
#define TARVIC_COUNTED_STRING_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char* TvString;

/* Allocates a text of byteLength bytes copied from bytes (which may be NULL
 * for an empty text). Returns NULL only when memory runs out. */
static inline TvString tvAllocStringByteLen(const char* bytes, uint32_t byteLength)
{
    unsigned char* block = (unsigned char*)malloc((size_t)byteLength + sizeof(uint32_t) + 2u);
    if (!block)
        return NULL;
    memcpy(block, &byteLength, sizeof(uint32_t));
    char* text = (char*)(block + sizeof(uint32_t));
    if (byteLength > 0u && bytes)
        memcpy(text, bytes, byteLength);
    else if (byteLength > 0u)
        memset(text, 0, byteLength);
    text[byteLength] = 0;
    text[byteLength + 1u] = 0;
    return text;
}

/* Byte length stored in front of the text; 0 for NULL. */
static inline uint32_t tvStringByteLen(TvString text)
{
    uint32_t byteLength = 0u;
    if (text)
        memcpy(&byteLength, text - sizeof(uint32_t), sizeof(uint32_t));
    return byteLength;
}

/* Releases a text made by tvAllocStringByteLen; NULL is ignored. */
static inline void tvFreeString(TvString text)
{
    if (text)
        free(text - sizeof(uint32_t));
}

#ifdef __cplusplus
}
#endif

#endif
