#include "engine/ChunkDecoder.h"

#include <cstring>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Refuse(HttpError code, HttpError* error) {
  if (error) *error = code;
  return -1;
}

}  // namespace

int ReadChunkSizeLine(const char* data, size_t length, uint64_t* size, size_t* used,
                      HttpError* error) {
  const size_t window = length < kChunkLineLimit ? length : kChunkLineLimit;
  uint64_t value = 0;
  size_t i = 0;
  for (; i < window && HexValue(data[i]) >= 0; ++i) {
    if (value > (static_cast<uint64_t>(INT64_MAX) >> 4))
      return Refuse(HTTP_ERR_CHUNK_TOO_LARGE, error);
    value = value * 16 + static_cast<uint64_t>(HexValue(data[i]));
  }
  if (i == window) return window < kChunkLineLimit ? 0 : Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  if (i == 0) return Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  while (i < window && (data[i] == ' ' || data[i] == '\t')) ++i;
  if (i < window && data[i] == ';') {
    // An extension is of no use here; it only has to end with the line.
    while (i < window && data[i] != '\r' && data[i] != '\n') ++i;
  }
  if (i == window) return window < kChunkLineLimit ? 0 : Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  if (data[i] != '\r') return Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  if (i + 1 == window) return window < kChunkLineLimit ? 0 : Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  if (data[i + 1] != '\n') return Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  *size = value;
  *used = i + 2;
  return 1;
}

int CChunkDecoder::Decode(const char* data, unsigned int length, unsigned int* used,
                          ChunkDataSink sink, void* param, HttpError* error) {
  unsigned int at = 0;
  int result = 0;
  for (;;) {
    const char* next = data + at;
    const unsigned int remaining = length - at;
    if (m_Phase == CHUNK_DONE) {
      result = 1;
      break;
    }
    if (m_Phase == CHUNK_SIZE_LINE) {
      uint64_t size = 0;
      size_t lineLength = 0;
      const int found = ReadChunkSizeLine(next, remaining, &size, &lineLength, error);
      if (found <= 0) {
        result = found;
        break;
      }
      at += static_cast<unsigned int>(lineLength);
      m_Left = size;
      m_Phase = size == 0 ? CHUNK_LAST : CHUNK_DATA;
    } else if (m_Phase == CHUNK_DATA) {
      if (remaining == 0) break;
      const unsigned int piece =
          m_Left < remaining ? static_cast<unsigned int>(m_Left) : remaining;
      if (!sink(param, next, piece)) {
        result = -1;
        break;
      }
      at += piece;
      m_Left -= piece;
      if (m_Left == 0) m_Phase = CHUNK_DATA_END;
    } else if (m_Phase == CHUNK_DATA_END) {
      // Anything but CR LF after the data means the sizes do not count
      // the bytes sent: no byte of it can be trusted.
      if (remaining == 0) break;
      if (next[0] != '\r' || (remaining > 1 && next[1] != '\n')) {
        result = Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
        break;
      }
      if (remaining < 2) break;
      at += 2;
      m_Phase = CHUNK_SIZE_LINE;
    } else {
      // A trailer line, or the empty line that ends the body. Only the
      // first kChunkLineLimit bytes are looked at, however many came.
      const unsigned int window =
          remaining < kChunkLineLimit ? remaining : static_cast<unsigned int>(kChunkLineLimit);
      const void* lineFeed = memchr(next, '\n', window);
      if (!lineFeed) {
        if (window == kChunkLineLimit) result = Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
        break;
      }
      const unsigned int lineLength =
          static_cast<unsigned int>(static_cast<const char*>(lineFeed) - next) + 1;
      at += lineLength;
      if (lineLength == 1 || (lineLength == 2 && next[0] == '\r')) {
        m_Phase = CHUNK_DONE;
        continue;
      }
      m_TrailerLength += lineLength;
      if (m_TrailerLength > kChunkTrailerLimit) {
        result = Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
        break;
      }
    }
  }
  *used += at;
  return result;
}
