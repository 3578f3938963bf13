// Fresh random identifiers, 16 bytes each (the multipart boundary is made of one).
#ifndef ZELVORA_PLATFORM_GUID_H
#define ZELVORA_PLATFORM_GUID_H

#include <cstdint>

struct PlatformGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// Fills *guid with 16 random bytes (random version-4 identifier). Returns 1,
// or 0 when no randomness could be had (*guid is then zeroed).
int GuidCreate(PlatformGuid* guid);

// Test hooks: make every later GuidCreate return this value (NULL goes back
// to random values), or fail (non-zero) until cleared.
void GuidSetFixedForTest(const PlatformGuid* guid);
void GuidSetFailForTest(int fail);

#endif
