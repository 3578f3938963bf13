#include "engine/ChunkDecoder.h"

#include <cstring>

#include "engine/HttpClient.h"

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

// Takes count bytes from the front of the stream with one move of the rest.
void DropFront(CMemStream& stream, unsigned int count) {
  if (count == 0) return;
  const unsigned int rest = stream.m_Length - count;
  memmove(stream.m_Data, stream.m_Data + count, rest);
  stream.m_Length = rest;
  stream.m_Data[rest] = 0;
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

int ChunkedBodyEndedExactly(const CMemStream& raw) {
  return raw.m_Length == 2 && raw.m_Data && raw.m_Data[0] == '\r' && raw.m_Data[1] == '\n';
}

int CHttpClient::DecodeChunks() {
  if (!m_Chunked) return 1;
  // What each step took leaves the front of the stream in one move when the
  // call ends, however many chunks there were.
  unsigned int taken = 0;
  const int result = DecodeBufferedChunks(&taken);
  DropFront(m_RawStream, taken);
  return result;
}

int CHttpClient::DecodeBufferedChunks(unsigned int* taken) {
  ChunkProgress& progress = m_ChunkProgress;
  for (;;) {
    const char* data = m_RawStream.m_Data + *taken;
    const unsigned int remaining = m_RawStream.m_Length - *taken;
    switch (progress.m_Phase) {
      case CHUNK_SIZE_LINE: {
        uint64_t size = 0;
        size_t used = 0;
        HttpError error = HTTP_ERR_RESPONSE_FORMAT;
        const int found = ReadChunkSizeLine(data, remaining, &size, &used, &error);
        if (found < 0) m_ErrorCode = error;
        if (found <= 0) return found;
        *taken += static_cast<unsigned int>(used);
        progress.m_Left = size;
        progress.m_Phase = size == 0 ? CHUNK_LAST : CHUNK_DATA;
        break;
      }
      case CHUNK_DATA: {
        if (remaining == 0) return 0;
        const unsigned int piece = progress.m_Left < remaining
                                       ? static_cast<unsigned int>(progress.m_Left)
                                       : remaining;
        if (!StoreBody(data, piece)) return -1;
        *taken += piece;
        progress.m_Left -= piece;
        if (progress.m_Left == 0) progress.m_Phase = CHUNK_DATA_END;
        break;
      }
      case CHUNK_DATA_END:
        // Anything but CR LF after the data means the sizes do not count
        // the bytes sent: no byte of it can be trusted.
        if (remaining == 0) return 0;
        if (data[0] != '\r' || (remaining > 1 && data[1] != '\n')) {
          m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
          return -1;
        }
        if (remaining < 2) return 0;
        *taken += 2;
        progress.m_Phase = CHUNK_SIZE_LINE;
        break;
      case CHUNK_LAST:
        // The two bytes after the last size line must be there, but they stay.
        return remaining >= 2 ? 1 : 0;
    }
  }
}
