/* The counted result text of the stand-in libraries: each one allocates its
 * texts and exports tvStringByteLen and tvFreeString to read and release
 * them, as the pricing library does (tarvic/counted_string.h). */
#ifndef TARVIC_TESTS_STAND_IN_TEXT_H
#define TARVIC_TESTS_STAND_IN_TEXT_H

#include "tarvic/counted_string.h"

/* A text of byteLength bytes copied from bytes (NULL: an empty text). */
TvString standInText(const char* bytes, uint32_t byteLength);

/* Texts released through this library's tvFreeString so far. */
__attribute__((visibility("default"))) int32_t tvFreedTexts(void);

#endif
