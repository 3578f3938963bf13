// Behaviour of the C runtime that the program relies on and this one does not give as-is.
#ifndef ZELVORA_PLATFORM_CRUNTIME_H
#define ZELVORA_PLATFORM_CRUNTIME_H

#include <cinttypes>
#include <cstdint>

// Compares two texts without regard to ASCII letter case (bytes above 0x7F
// compare as they are): negative, 0 or positive like strcmp.
int StrICmp(const char* a, const char* b);
int StrNICmp(const char* a, const char* b, uint32_t count);

// Reads a decimal number as the command line's numbers are read (a batch
// range's bounds, the -step size): leading blanks, an optional sign, then
// digits up to the first non-digit; no digits give 0; values beyond the
// 32-bit range saturate at INT32_MAX / INT32_MIN, so an overlong number never
// wraps into a small one (the C library's atoi leaves that undefined). A
// URL's port and a head's status and lengths take digits only, and are read
// where they are parsed.
int AtoiSaturating(const char* text);

// Unsigned 64-bit values (sizes, offsets, Range positions) are printed with
// "%" PRIu64 from <cinttypes>, so a value past 4 GiB prints whole.

#endif
