/*
 * libtarvic: the exported pricers.
 *
 * Conventions shared by every export:
 *  - integers and flags are 32-bit; a flag counts by its low byte
 *    (non-zero = set), so 256 is clear and 1 or 65535 are set;
 *  - arrays are caller-owned arrays of doubles with indices 0..50000,
 *    passed as the address of element 0;
 *  - the solver exports return a counted text (tarvic/counted_string.h):
 *    empty on success, otherwise the failure's message; the caller frees it
 *    with tvFreeString.
 */
#ifndef TARVIC_TARVIC_H
#define TARVIC_TARVIC_H

#include <stdint.h>

#include "tarvic/counted_string.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entries 0..TV_MAX_NODE_INDEX of each caller array may be written. */
#define TV_MAX_NODE_INDEX 50000

#ifdef __cplusplus
}
#endif

#endif
