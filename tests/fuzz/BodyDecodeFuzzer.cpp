// Inflating gzip and deflate bodies. The first byte picks what is done:
//   below 0x80: the rest is a body, decoded under the coding picked by the
//     byte (any bytes, mostly damaged streams);
//   from 0x80: the rest, repeated (byte & 0x3f) + 1 times, is the plain text;
//     it is compressed here (0x40 clear: gzip, set: raw deflate) and must
//     decode back to exactly itself.
#include <sanitizer/allocator_interface.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "frontend/BodyDecode.h"
#include "frontend/ImpBroxCmd.h"

namespace {

// A success never reports more bytes than its buffer holds.
void CheckDecoded(char* decoded, unsigned int decodedLength) {
  FUZZ_CHECK(decoded != nullptr);
  FUZZ_CHECK(__sanitizer_get_ownership(decoded));
  FUZZ_CHECK(decodedLength <= __sanitizer_get_allocated_size(decoded));
  TouchBytes(decoded, decodedLength);
}

std::string Compress(const std::string& plain, int windowBits) {
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  FUZZ_CHECK(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) == Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(plain.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  stream.avail_in = static_cast<uInt>(plain.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  FUZZ_CHECK(deflate(&stream, Z_FINISH) == Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

void RoundTrip(uint8_t pick, const std::string& text) {
  std::string plain;
  for (int i = 0; i <= (pick & 0x3f); ++i) plain += text;
  const int raw = (pick & 0x40) != 0;
  const std::string body = Compress(plain, raw ? -15 : 31);

  CImpBroxCmd cmd;
  cmd.m_ContentEncoding = raw ? "deflate" : "gzip";
  char* decoded = nullptr;
  unsigned int decodedLength = 0;
  const int ok = DecodeBody(cmd, body.data(), static_cast<unsigned int>(body.size()), &decoded, &decodedLength);
  // Raw deflate gets one room of 15 times the input and no second try.
  if (raw && plain.size() > 15 * body.size()) {
    if (ok) free(decoded);
    return;
  }
  FUZZ_CHECK(ok);
  CheckDecoded(decoded, decodedLength);
  FUZZ_CHECK(std::string(decoded, decodedLength) == plain);
  free(decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t pick = input.TakeByte();
  if (pick & 0x80) {
    RoundTrip(pick, input.TakeRest());
    return 0;
  }
  size_t bodySize = 0;
  const uint8_t* body = input.Rest(&bodySize);

  static const char* const kCodings[] = {"gzip", "deflate", "GZIP", "Deflate", "br", ""};
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
  CheckDecoded(decoded, decodedLength);
  free(decoded);
  return 0;
}
