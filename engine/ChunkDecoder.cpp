#include "engine/ChunkDecoder.h"

#include <cstdint>
#include <cstring>

#include "engine/HttpClient.h"

namespace {

// The size itself is at most this many characters; it and its end (a CRLF,
// or the ";" of an extension) are looked for in the first kSizeLineSearch
// bytes of a line.
const unsigned int kMaxSizeText = 6;
const unsigned int kSizeLineSearch = 10;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int ParseChunkSize(const char* text, int* size) {
  if (!text || !size) return 0;
  const char* p = text;
  while (IsScanSpace(*p)) ++p;
  // A negative size is never a length.
  if (*p == '-') return 0;
  if (*p == '+') ++p;
  if (HexValue(*p) < 0) return 0;
  // "0x" is a prefix only when a digit follows; otherwise the "0" is the number.
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexValue(p[2]) >= 0) p += 2;
  uint64_t value = 0;
  for (; HexValue(*p) >= 0; ++p) {
    value = value * 16 + static_cast<uint64_t>(HexValue(*p));
    if (value > INT32_MAX) return 0;
  }
  *size = static_cast<int>(value);
  return 1;
}

int ChunkedBodyEndedExactly(const CMemStream& raw) {
  return raw.m_Length == 2 && raw.m_Data && raw.m_Data[0] == '\r' && raw.m_Data[1] == '\n';
}

namespace {

// Where a size line ends, from the front of data[0, length).
struct SizeLine {
  unsigned int m_TextLength;  // characters of the size, extension excluded
  unsigned int m_LineLength;  // the whole line with its CRLF
};

// Position of the first CRLF in data[from, length), or -1.
long FindLineEnd(const char* data, unsigned int from, unsigned int length) {
  for (unsigned int i = from; i + 1 < length; ++i) {
    const void* cr = memchr(data + i, '\r', length - 1 - i);
    if (!cr) return -1;
    i = static_cast<unsigned int>(static_cast<const char*>(cr) - data);
    if (data[i + 1] == '\n') return static_cast<long>(i);
  }
  return -1;
}

// Finds the size line at the front of data. 1 with *line set, 0 when more
// bytes are needed (or never come: an empty line, or no end within the
// search window), -1 when the size text is too long. An extension after
// ";" may be of any length; only the bytes before the ";" are the size.
int FindSizeLine(const char* data, unsigned int length, SizeLine* line) {
  const unsigned int window = length < kSizeLineSearch ? length : kSizeLineSearch;
  for (unsigned int i = 0; i < window; ++i) {
    if (data[i] == ';') {
      if (i > kMaxSizeText) return -1;
      const long end = FindLineEnd(data, i + 1, length);
      if (end < 0) return 0;
      line->m_TextLength = i;
      line->m_LineLength = static_cast<unsigned int>(end) + 2;
      return 1;
    }
    if (data[i] == '\r' && i + 1 < window && data[i + 1] == '\n') {
      if (i == 0) return 0;
      if (i > kMaxSizeText) return -1;
      line->m_TextLength = i;
      line->m_LineLength = i + 2;
      return 1;
    }
  }
  return 0;
}

// Reads the size line at the front of data: 1 with the chunk's size in
// *size and the line's length in *used; else FindSizeLine's 0 or -1, or -1
// for a size text ParseChunkSize refuses, with *size untouched.
int ReadSizeLine(const char* data, unsigned int length, unsigned int* used, int* size) {
  SizeLine line = {0, 0};
  const int found = FindSizeLine(data, length, &line);
  if (found <= 0) return found;
  char text[kMaxSizeText + 1];
  memcpy(text, data, line.m_TextLength);
  text[line.m_TextLength] = 0;
  if (!ParseChunkSize(text, size)) return -1;
  *used = line.m_LineLength;
  return 1;
}

// Takes count bytes from the front of the stream with one move of the rest.
void DropFront(CMemStream& stream, unsigned int count) {
  if (count == 0) return;
  const unsigned int rest = stream.m_Length - count;
  memmove(stream.m_Data, stream.m_Data + count, rest);
  stream.m_Length = rest;
  stream.m_Data[rest] = 0;
}

}  // namespace

int CHttpClient::DecodeChunks(int* pendingSize) {
  if (!m_Chunked) return 1;
  if (!pendingSize) return -1;
  // Only the length after the caller's latest append is tested, once per call.
  if (m_RawStream.m_Length >= kChunkBufferLimit) return -1;
  if (m_RawStream.m_Length == 0) return 0;

  // Chunks are decoded where they lie; what they took leaves the front of
  // the stream in one move when the call ends, however many there were.
  unsigned int taken = 0;
  const int result = DecodeBufferedChunks(pendingSize, &taken);
  DropFront(m_RawStream, taken);
  return result;
}

int CHttpClient::DecodeBufferedChunks(int* pendingSize, unsigned int* taken) {
  for (;;) {
    if (*pendingSize < 0) {
      unsigned int used = 0;
      const int found = ReadSizeLine(m_RawStream.m_Data + *taken, m_RawStream.m_Length - *taken,
                                     &used, pendingSize);
      if (found <= 0) return found;
      *taken += used;
      continue;
    }

    const unsigned int remaining = m_RawStream.m_Length - *taken;
    if (static_cast<uint64_t>(remaining) < static_cast<uint64_t>(*pendingSize) + 2) return 0;
    // The two bytes after the last size line must be there, but they stay.
    if (*pendingSize == 0) return 1;
    const unsigned int size = static_cast<unsigned int>(*pendingSize);
    if (!TakeBody(m_RawStream.m_Data + *taken, size)) return -1;
    *taken += size + 2;
    *pendingSize = -1;
    if (*taken == m_RawStream.m_Length) return 0;
  }
}

