#pragma once

// Marks a function as one of the library's exports: C linkage, visible in the
// dynamic symbol table. Everything else in the library is hidden.
#define TARVIC_EXPORT extern "C" __attribute__((visibility("default")))
