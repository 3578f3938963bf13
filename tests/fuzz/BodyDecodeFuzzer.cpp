// Inflating gzip and deflate bodies. The first byte picks what is done:
//   below 0x80: the rest is a body, decoded under the coding or coding list
//     picked by the byte (any bytes, mostly damaged streams);
//   from 0x80: the rest, repeated (byte & 0x3f) + 1 times, is the plain text;
//     it is compressed here (0x40 clear: gzip, set: raw deflate) and must
//     decode back to exactly itself.
#include <zlib.h>

#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "frontend/InflateInMemory.h"
#include "frontend/ImpBroxCmd.h"

namespace {

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
  std::string decoded;
  FUZZ_CHECK(DecodeBody(cmd, body.data(), static_cast<unsigned int>(body.size()), &decoded));
  FUZZ_CHECK(decoded == plain);
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

  static const char* const kCodings[] = {"gzip",         "deflate",        "GZIP",
                                         "Deflate",      "br",             "",
                                         "x-gzip",       "deflate, gzip",  "gzip,\tidentity",
                                         "gzip, gzip",   "gzip, br"};
  CImpBroxCmd cmd;
  cmd.m_ContentEncoding = kCodings[pick % (sizeof(kCodings) / sizeof(kCodings[0]))];
  std::string decoded = "untouched";
  const int ok = DecodeBody(cmd, reinterpret_cast<const char*>(body), static_cast<unsigned int>(bodySize),
                            &decoded);
  if (!ok) {
    // A failure leaves the output alone.
    FUZZ_CHECK(decoded == "untouched");
    return 0;
  }
  FUZZ_CHECK(IsCompressed(cmd));
  TouchBytes(decoded.data(), decoded.size());
  return 0;
}
