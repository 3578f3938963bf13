// Content codings undone with zlib directly, whole bodies at once: the
// verdict the fuzz targets hold the program's streaming decoders to. gzip is
// one or more members back to back; deflate is one stream, with the zlib
// wrapper when its first two bytes form a zlib header without a preset
// dictionary, else raw. Bytes after the last member or stream, and a body
// cut short, do not decode. No bytes at all decode to nothing.
#ifndef ZELVORA_FUZZ_ZLIBREFERENCE_H
#define ZELVORA_FUZZ_ZLIBREFERENCE_H

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/ContentEncoding.h"

namespace zref {

enum Verdict { DECODED, NOT_DECODED, TOO_LARGE };

// Past this many decoded bytes the reference gives up (TOO_LARGE): the
// targets then judge nothing of the body.
const size_t kMostDecoded = 16u * 1024 * 1024;

inline int IsZlibHeader(const std::string& in) {
  if (in.size() < 2) return 0;
  const unsigned cmf = static_cast<unsigned char>(in[0]);
  const unsigned flg = static_cast<unsigned char>(in[1]);
  return (cmf & 0x0f) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0 && (flg & 0x20) == 0;
}

// One stream from in[*at], its output appended to *out; *at moves past it.
inline Verdict InflateOne(const std::string& in, size_t* at, int windowBits, std::string* out) {
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, windowBits) != Z_OK) return NOT_DECODED;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + *at));
  stream.avail_in = static_cast<uInt>(in.size() - *at);
  char block[16384];
  Verdict verdict = NOT_DECODED;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(block);
    stream.avail_out = sizeof(block);
    const int result = inflate(&stream, Z_NO_FLUSH);
    out->append(block, sizeof(block) - stream.avail_out);
    if (out->size() > kMostDecoded) {
      verdict = TOO_LARGE;
      break;
    }
    if (result == Z_STREAM_END) {
      verdict = DECODED;
      break;
    }
    // Z_BUF_ERROR with input left means no progress: the data ran out.
    if (result != Z_OK) break;
  }
  *at = in.size() - stream.avail_in;
  inflateEnd(&stream);
  return verdict;
}

inline Verdict Undo(ContentCoding coding, const std::string& in, std::string* out) {
  out->clear();
  size_t at = 0;
  if (coding == CODING_DEFLATE) {
    if (in.empty()) return DECODED;
    const Verdict verdict = InflateOne(in, &at, IsZlibHeader(in) ? 15 : -15, out);
    if (verdict != DECODED) return verdict;
    return at == in.size() ? DECODED : NOT_DECODED;
  }
  while (at < in.size()) {
    const Verdict verdict = InflateOne(in, &at, 31, out);
    if (verdict != DECODED) return verdict;
  }
  return DECODED;
}

// Undoes codings (in the order they were applied) from the last.
inline Verdict UndoAll(const std::vector<ContentCoding>& codings, const std::string& in,
                       std::string* out) {
  std::string body = in;
  for (size_t i = codings.size(); i-- > 0;) {
    const Verdict verdict = Undo(codings[i], body, out);
    if (verdict != DECODED) return verdict;
    body.swap(*out);
  }
  out->swap(body);
  return DECODED;
}

}  // namespace zref

#endif
