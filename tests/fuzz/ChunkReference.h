// The chunked framing rules written out on their own, so that the fuzz
// targets can judge the decoder and the reader against them.
#ifndef ZELVORA_FUZZ_CHUNKREFERENCE_H
#define ZELVORA_FUZZ_CHUNKREFERENCE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ChunkDecoder.h"
#include "engine/HttpTypes.h"

namespace chunkref {

// The value of a hexadecimal digit, or -1.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What the framing rules say of the bytes in hand, read on their own.
enum ChunkVerdict {
  CHUNKS_NEED_MORE,  // every rule holds so far; the bytes end before the body does
  CHUNKS_REFUSED,    // a rule is broken (m_Error says how)
  CHUNKS_DONE        // the last-chunk line, its trailer lines and the empty line
};

struct ChunkReference {
  ChunkVerdict m_Verdict;
  HttpError m_Error;
  // The chunk data in hand (a chunk still arriving with the part that came).
  std::string m_Body;
  // Done: where the answer ends, just past the empty line after the trailer.
  size_t m_End;
};

enum SizeLinePart { SIZE_DIGITS, SIZE_BLANKS, SIZE_EXTENSION, SIZE_CR };

// A size line: hexadecimal digits (any number of leading zeros, the value
// within 63 bits), optional spaces or tabs, an optional extension after
// ";" that holds no CR or LF, CR LF; its first kChunkLineLimit bytes must
// hold its end. 1 with *size and *end (past the LF), 0 while the bytes end
// first, -1 with *error.
inline int ReadSizeLine(const std::string& framed, size_t at, uint64_t* size, size_t* end,
                 HttpError* error) {
  uint64_t value = 0;
  size_t digits = 0;
  SizeLinePart part = SIZE_DIGITS;
  for (size_t i = at;; ++i) {
    if (i - at >= kChunkLineLimit) break;
    if (i == framed.size()) return 0;
    const char c = framed[i];
    switch (part) {
      case SIZE_DIGITS:
        if (HexDigit(c) >= 0) {
          if (value > (static_cast<uint64_t>(INT64_MAX) >> 4)) {
            *error = HTTP_ERR_CHUNK_TOO_LARGE;
            return -1;
          }
          value = value * 16 + static_cast<uint64_t>(HexDigit(c));
          ++digits;
          continue;
        }
        if (digits == 0) break;
        if (c == ' ' || c == '\t') {
          part = SIZE_BLANKS;
          continue;
        }
        [[fallthrough]];
      case SIZE_BLANKS:
        if (c == ' ' || c == '\t') continue;
        if (c == ';') {
          part = SIZE_EXTENSION;
          continue;
        }
        if (c == '\r') {
          part = SIZE_CR;
          continue;
        }
        break;
      case SIZE_EXTENSION:
        if (c == '\n') break;
        if (c == '\r') part = SIZE_CR;
        continue;
      case SIZE_CR:
        if (c != '\n') break;
        *size = value;
        *end = i + 1;
        return 1;
    }
    break;
  }
  *error = HTTP_ERR_RESPONSE_FORMAT;
  return -1;
}

// The trailer lines after the last-chunk line, from at: lines ended by LF
// (a CR before it optional), each within kChunkLineLimit bytes and all of
// them within kChunkTrailerLimit, up to an empty line. 1 with *end past that
// empty line, 0 while the bytes end first, -1 when a limit is broken.
inline int ReadTrailer(const std::string& framed, size_t at, size_t* end) {
  size_t trailer = 0;
  for (;;) {
    const size_t lineFeed = framed.find('\n', at);
    const size_t inHand = (lineFeed == std::string::npos ? framed.size() : lineFeed + 1) - at;
    if (lineFeed == std::string::npos || inHand > kChunkLineLimit)
      return inHand >= kChunkLineLimit ? -1 : 0;
    const size_t line = lineFeed + 1 - at;
    at = lineFeed + 1;
    if (line == 1 || (line == 2 && framed[lineFeed - 1] == '\r')) {
      *end = at;
      return 1;
    }
    trailer += line;
    if (trailer > kChunkTrailerLimit) return -1;
  }
}

// The framing of the bytes in hand as the rules read them.
inline ChunkReference Reference(const std::string& framed) {
  ChunkReference ref = {CHUNKS_NEED_MORE, HTTP_ERR_NONE, std::string(), 0};
  size_t at = 0;
  for (;;) {
    uint64_t size = 0;
    size_t end = 0;
    const int line = ReadSizeLine(framed, at, &size, &end, &ref.m_Error);
    if (line < 0) ref.m_Verdict = CHUNKS_REFUSED;
    if (line <= 0) return ref;
    at = end;
    if (size == 0) {
      const int trailer = ReadTrailer(framed, at, &ref.m_End);
      if (trailer < 0) {
        ref.m_Verdict = CHUNKS_REFUSED;
        ref.m_Error = HTTP_ERR_RESPONSE_FORMAT;
      } else if (trailer > 0) {
        ref.m_Verdict = CHUNKS_DONE;
      }
      return ref;
    }
    const size_t inHand = framed.size() - at < size ? framed.size() - at : static_cast<size_t>(size);
    ref.m_Body.append(framed, at, inHand);
    at += inHand;
    if (inHand < size || at == framed.size()) return ref;
    // Chunk data is followed by CR LF and by nothing else.
    if (framed[at] != '\r' || (at + 1 < framed.size() && framed[at + 1] != '\n')) {
      ref.m_Verdict = CHUNKS_REFUSED;
      ref.m_Error = HTTP_ERR_RESPONSE_FORMAT;
      return ref;
    }
    if (at + 1 == framed.size()) return ref;
    at += 2;
  }
}

}  // namespace chunkref

#endif
