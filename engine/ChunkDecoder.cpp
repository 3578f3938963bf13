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
  int step = 1;
  while (step > 0 && m_Phase != CHUNK_DONE) {
    const char* next = data + at;
    const unsigned int remaining = length - at;
    unsigned int taken = 0;
    switch (m_Phase) {
      case CHUNK_SIZE_LINE:
        step = TakeSizeLine(next, remaining, &taken, error);
        break;
      case CHUNK_DATA:
        step = PassData(next, remaining, &taken, sink, param);
        break;
      case CHUNK_DATA_END:
        step = TakeDataEnd(next, remaining, &taken, error);
        break;
      default:
        step = TakeTrailerLine(next, remaining, &taken, error);
        break;
    }
    at += taken;
  }
  *used += at;
  if (step < 0) return -1;
  return m_Phase == CHUNK_DONE ? 1 : 0;
}

int CChunkDecoder::TakeSizeLine(const char* data, unsigned int length, unsigned int* taken,
                                HttpError* error) {
  uint64_t size = 0;
  size_t lineLength = 0;
  const int found = ReadChunkSizeLine(data, length, &size, &lineLength, error);
  if (found <= 0) return found;
  *taken = static_cast<unsigned int>(lineLength);
  m_Left = size;
  m_Phase = size == 0 ? CHUNK_LAST : CHUNK_DATA;
  return 1;
}

int CChunkDecoder::PassData(const char* data, unsigned int length, unsigned int* taken,
                            ChunkDataSink sink, void* param) {
  if (length == 0) return 0;
  const unsigned int piece = m_Left < length ? static_cast<unsigned int>(m_Left) : length;
  if (!sink(param, data, piece)) return -1;
  *taken = piece;
  m_Left -= piece;
  if (m_Left == 0) m_Phase = CHUNK_DATA_END;
  return 1;
}

int CChunkDecoder::TakeDataEnd(const char* data, unsigned int length, unsigned int* taken,
                               HttpError* error) {
  // Anything but CR LF after the data means the sizes do not count the
  // bytes sent: no byte of it can be trusted.
  if (length == 0) return 0;
  if (data[0] != '\r' || (length > 1 && data[1] != '\n'))
    return Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  if (length < 2) return 0;
  *taken = 2;
  m_Phase = CHUNK_SIZE_LINE;
  return 1;
}

int CChunkDecoder::TakeTrailerLine(const char* data, unsigned int length, unsigned int* taken,
                                   HttpError* error) {
  // Only the first kChunkLineLimit bytes are looked at, however many came.
  const unsigned int window =
      length < kChunkLineLimit ? length : static_cast<unsigned int>(kChunkLineLimit);
  const void* lineFeed = memchr(data, '\n', window);
  if (!lineFeed) return window == kChunkLineLimit ? Refuse(HTTP_ERR_RESPONSE_FORMAT, error) : 0;
  const unsigned int lineLength =
      static_cast<unsigned int>(static_cast<const char*>(lineFeed) - data) + 1;
  *taken = lineLength;
  if (lineLength == 1 || (lineLength == 2 && data[0] == '\r')) {
    m_Phase = CHUNK_DONE;
    return 1;
  }
  m_TrailerLength += lineLength;
  if (m_TrailerLength > kChunkTrailerLimit) return Refuse(HTTP_ERR_RESPONSE_FORMAT, error);
  return 1;
}
