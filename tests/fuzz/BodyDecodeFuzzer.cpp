// Inflating gzip and deflate bodies. The first byte picks the coding, the
// rest is the body.
#include <sanitizer/allocator_interface.h>

#include <cstdlib>

#include "FuzzInput.h"
#include "frontend/BodyDecode.h"
#include "frontend/ImpBroxCmd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  static const char* const kCodings[] = {"gzip", "deflate", "GZIP", "Deflate", "br", ""};
  const uint8_t pick = input.TakeByte();
  size_t bodySize = 0;
  const uint8_t* body = input.Rest(&bodySize);

  CImpBroxCmd cmd;
  cmd.m_ContentEncoding = kCodings[pick % (sizeof(kCodings) / sizeof(kCodings[0]))];
  char* decoded = reinterpret_cast<char*>(0x1);
  unsigned int decodedLength = 12345;
  const int ok = DecodeBody(cmd, reinterpret_cast<const char*>(body), static_cast<unsigned int>(bodySize),
                            &decoded, &decodedLength);
  if (!ok) {
    // A failure leaves both outputs alone.
    FUZZ_CHECK(decoded == reinterpret_cast<char*>(0x1));
    FUZZ_CHECK(decodedLength == 12345);
    return 0;
  }
  FUZZ_CHECK(IsCompressed(cmd));
  FUZZ_CHECK(decoded != nullptr);
  // A success never reports more bytes than its buffer holds.
  FUZZ_CHECK(__sanitizer_get_ownership(decoded));
  FUZZ_CHECK(decodedLength <= __sanitizer_get_allocated_size(decoded));
  TouchBytes(decoded, decodedLength);
  free(decoded);
  return 0;
}
