// Undoing gzip and deflate codings, whole in memory (DecodeBody) and fed in
// pieces through the streaming chain (CInflateChain), both held to zlib's
// own verdict on the same bytes (ZlibReference.h). Input: a pick byte, a
// count of piece sizes and the sizes, then
//   pick below 0x80: the body, under the coding list the pick chooses (any
//     bytes, mostly damaged streams);
//   pick from 0x80: two bytes of a damage position, a damage byte, then the
//     text; the text repeated (pick & 7) + 1 times is coded here as
//     (pick >> 4) & 7 chooses (gzip in one or two members, deflate with or
//     without the zlib wrapper, lists of two codings), with pick & 8 the
//     text coded once more as the outermost coding and put behind (a second
//     gzip member, or a second deflate stream, which does not decode), then
//     the byte at the position is XORed with the damage byte (0: no
//     damage).
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ZlibReference.h"
#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/InflateInMemory.h"
#include "frontend/Inflater.h"

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

const int kGzip = 31;
const int kZlib = 15;
const int kRaw = -15;

// Two gzip members, the text split in the middle.
std::string GzipTwoMembers(const std::string& plain) {
  const size_t half = plain.size() / 2;
  return Compress(plain.substr(0, half), kGzip) + Compress(plain.substr(half), kGzip);
}

struct Collected {
  std::string m_Text;
};

int Collect(void* param, const char* data, size_t length) {
  static_cast<Collected*>(param)->m_Text.append(data, length);
  return 1;
}

// The body through the streaming chain, cut as the sizes say (0 stands for a
// large piece; no sizes: the body at once).
InflateResult Stream(const std::vector<ContentCoding>& codings, const std::string& body,
                     const uint8_t* sizes, size_t sizeCount, std::string* decoded) {
  CInflateChain chain;
  chain.Begin(codings);
  Collected out;
  size_t at = 0;
  size_t next = 0;
  while (at < body.size()) {
    size_t piece = sizeCount > 0 ? sizes[next++ % sizeCount] : body.size();
    if (piece == 0) piece = 4096;
    if (piece > body.size() - at) piece = body.size() - at;
    const InflateResult fed = chain.Feed(body.data() + at, piece, Collect, &out);
    if (fed != INFLATE_OK) return fed;
    at += piece;
  }
  const InflateResult finished = chain.Finish();
  *decoded = out.m_Text;
  return finished;
}

// The program's two ways of decoding body under the coding list, judged
// against zlib's verdict.
void Judge(const std::string& list, const std::string& body, const uint8_t* sizes,
           size_t sizeCount) {
  std::vector<ContentCoding> codings;
  const int known = ReadContentCodings(list, codings) && !codings.empty();
  std::string expected;
  const zref::Verdict verdict = known ? zref::UndoAll(codings, body, &expected) : zref::NOT_DECODED;
  if (verdict == zref::TOO_LARGE) return;

  CImpBroxCmd cmd;
  static CHttpClient answer;
  answer.m_ContentEncoding = list;
  cmd.m_Answer = &answer;
  FUZZ_CHECK(IsCompressed(cmd) == known);
  std::string decoded = "untouched";
  const int ok = DecodeBody(cmd, body.data(), static_cast<unsigned int>(body.size()), &decoded);
  // No body is nothing to decode.
  FUZZ_CHECK(ok == (verdict == zref::DECODED && !body.empty()));
  FUZZ_CHECK(decoded == (ok ? expected : "untouched"));

  if (!known) return;
  std::string streamed;
  const InflateResult result = Stream(codings, body, sizes, sizeCount, &streamed);
  FUZZ_CHECK(result == INFLATE_OK || result == INFLATE_BAD_DATA);
  FUZZ_CHECK((result == INFLATE_OK) == (verdict == zref::DECODED));
  if (result == INFLATE_OK) FUZZ_CHECK(streamed == expected);
}

void RoundTrip(uint8_t pick, CFuzzInput& input, const uint8_t* sizes, size_t sizeCount) {
  const size_t position = static_cast<size_t>(input.TakeByte()) << 8 | input.TakeByte();
  const uint8_t damage = input.TakeByte();
  const std::string text = input.TakeRest();
  std::string plain;
  for (int i = 0; i <= (pick & 7); ++i) plain += text;

  std::string list;
  std::string body;
  int outermost = kGzip;
  switch ((pick >> 4) & 7) {
    case 0: list = "gzip"; body = Compress(plain, kGzip); break;
    case 1: list = "x-gzip"; body = GzipTwoMembers(plain); break;
    case 2: list = "deflate"; body = Compress(plain, kZlib); outermost = kZlib; break;
    case 3: list = "Deflate"; body = Compress(plain, kRaw); outermost = kRaw; break;
    case 4: list = "deflate, gzip"; body = Compress(Compress(plain, kRaw), kGzip); break;
    case 5: list = "gzip,deflate"; body = Compress(GzipTwoMembers(plain), kZlib); outermost = kZlib; break;
    case 6: list = "gzip, gzip"; body = Compress(Compress(plain, kGzip), kGzip); break;
    default: list = "identity, gzip"; body = Compress(plain, kGzip); break;
  }
  const int second = (pick & 8) != 0;
  if (second) body += Compress(text, outermost);
  if (damage != 0) {
    body[position % body.size()] = static_cast<char>(body[position % body.size()] ^ damage);
  } else {
    // Undamaged, the text comes back exactly; behind one coding, a second
    // gzip member adds its text, and a second deflate stream is refused.
    std::vector<ContentCoding> codings;
    FUZZ_CHECK(ReadContentCodings(list, codings));
    std::string expected;
    const zref::Verdict verdict = zref::UndoAll(codings, body, &expected);
    if (!second) {
      FUZZ_CHECK(verdict == zref::DECODED && expected == plain);
    } else if (codings.size() == 1 && outermost == kGzip) {
      FUZZ_CHECK(verdict == zref::DECODED && expected == plain + text);
    } else if (codings.size() == 1) {
      FUZZ_CHECK(verdict == zref::NOT_DECODED);
    }
  }
  Judge(list, body, sizes, sizeCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t pick = input.TakeByte();
  size_t sizeCount = 0;
  const uint8_t* sizes = input.TakeBytes(input.TakeByte() % 8, &sizeCount);
  if (pick & 0x80) {
    RoundTrip(pick, input, sizes, sizeCount);
    return 0;
  }
  static const char* const kCodings[] = {
      "gzip",           "deflate",          "GZIP",         "Deflate",
      "x-gzip",         "br",               "",             "identity",
      "deflate, gzip",  "gzip,\tidentity",  "gzip, gzip",   "gzip, br",
      "deflate,deflate", "gzip, deflate, gzip, deflate", "gzip, gzip, gzip, gzip, gzip"};
  const std::string list = kCodings[pick % (sizeof(kCodings) / sizeof(kCodings[0]))];
  Judge(list, input.TakeRest(), sizes, sizeCount);
  return 0;
}
