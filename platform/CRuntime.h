// Behaviour of the C runtime that the program relies on and this one does not give as-is.
#ifndef ZELVORA_PLATFORM_CRUNTIME_H
#define ZELVORA_PLATFORM_CRUNTIME_H

#include <cinttypes>
#include <cstdint>

// Compares two texts without regard to ASCII letter case (_stricmp):
// negative, 0 or positive like strcmp.
int StrICmp(const char* a, const char* b);
int StrNICmp(const char* a, const char* b, uint32_t count);

// atoi as the original C library reads it: leading blanks, an optional sign,
// then digits up to the first non-digit; no digits give 0; values beyond the
// 32-bit range saturate at INT32_MAX / INT32_MIN (glibc's atoi wraps instead).
int AtoiSaturating(const char* text);

// The same for a signed 64-bit value, saturating at INT64_MAX / INT64_MIN.
int64_t Atoi64Saturating(const char* text);

// Unsigned 64-bit values are printed with "%" PRIu64 (never "%I64u", which
// glibc reads as a width of 64 and a 32-bit value).

#endif
