#include "engine/ChunkDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/HttpClient.h"
#include "engine/KmpSearch.h"

namespace {

// A size line's text is at most this long; the search for its CRLF looks at
// no more than kSizeLineSearch bytes.
const int kMaxSizeText = 6;
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

int CHttpClient::DecodeChunks(int* pendingSize) {
  if (!m_Chunked) return 1;
  if (!pendingSize) return -1;
  // Only the length after the caller's latest append is tested, once per call.
  if (m_RawStream.m_Length >= kChunkBufferLimit) return -1;
  if (m_RawStream.m_Length == 0) return 0;

  for (;;) {
    if (*pendingSize < 0) {
      unsigned int limit = m_RawStream.m_Length < kSizeLineSearch ? m_RawStream.m_Length : kSizeLineSearch;
      int lineEnd = KmpSearch(m_RawStream.m_Data, static_cast<int>(limit), "\r\n", 2);
      // No CRLF within reach: wait for more (a 9-character text never
      // shows one, so such a line keeps the decoder waiting).
      if (lineEnd < 0) return 0;
      int textLength = lineEnd - 2;
      if (textLength == 0) return 0;
      if (textLength > kMaxSizeText) return -1;
      char line[kSizeLineSearch];
      memset(line, 0, sizeof(line));
      unsigned int taken = 0;
      m_RawStream.Read(line, static_cast<unsigned int>(lineEnd), &taken);
      line[textLength] = 0;
      int size = -1;
      if (!ParseChunkSize(line, &size)) return -1;
      *pendingSize = size;
    }

    uint64_t needed = static_cast<uint64_t>(*pendingSize) + 2;
    if (m_RawStream.m_Length < needed) return 0;
    // The two bytes after the last size line must be there, but they stay.
    if (*pendingSize == 0) return 1;

    unsigned int size = static_cast<unsigned int>(*pendingSize);
    // Bodies in memory are bounded as they grow; a file download keeps its
    // de-chunked copy only until it is rewritten.
    if (m_OutputFile == NULL &&
        static_cast<uint64_t>(m_DechunkedStream.m_Length) + size > kMemoryBodyLimit) {
      m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
      return -1;
    }
    char* block = static_cast<char*>(malloc(size + 2));
    if (!block) {
      m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
      return -1;
    }
    unsigned int taken = 0;
    m_RawStream.Read(block, size + 2, &taken);
    unsigned int written = 0;
    int appended = m_DechunkedStream.Write(block, size, &written);
    free(block);
    if (!appended || written != size) {
      m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
      return -1;
    }
    *pendingSize = -1;
    if (m_RawStream.m_Length == 0) return 0;
  }
}
