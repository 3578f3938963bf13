#include "frontend/BodyDecode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/ContentEncoding.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/Inflater.h"

namespace {

// A decoded body collecting in one block of the C heap, which grows by half
// again whenever it is full.
struct MemoryOutput {
  char* m_Data = nullptr;
  size_t m_Length = 0;
  size_t m_Room = 0;
};

int AppendToMemory(void* param, const char* data, size_t length) {
  MemoryOutput& out = *static_cast<MemoryOutput*>(param);
  // The length is handed out as a 32-bit count.
  if (length > UINT32_MAX - out.m_Length) return 0;
  if (out.m_Length + length > out.m_Room) {
    size_t room = out.m_Room + out.m_Room / 2;
    if (room < out.m_Length + length) room = out.m_Length + length;
    if (room > UINT32_MAX) room = UINT32_MAX;
    char* grown = static_cast<char*>(realloc(out.m_Data, room));
    if (grown == nullptr) return 0;
    out.m_Data = grown;
    out.m_Room = room;
  }
  memcpy(out.m_Data + out.m_Length, data, length);
  out.m_Length += length;
  return 1;
}

// The whole of data decoded into a new buffer, or NULL.
char* DecodeToMemory(InflateFormat format, const char* data, unsigned int length,
                     unsigned int* decodedLength) {
  if (data == NULL || length == 0 || decodedLength == NULL) return NULL;
  MemoryOutput out;
  CInflater inflater;
  inflater.Begin(format);
  if (inflater.Feed(data, length, AppendToMemory, &out) != INFLATE_OK ||
      inflater.Finish() != INFLATE_OK) {
    free(out.m_Data);
    return NULL;
  }
  // An empty result still hands out a block the caller can free.
  if (out.m_Data == NULL) out.m_Data = static_cast<char*>(malloc(1));
  if (out.m_Data == NULL) return NULL;
  *decodedLength = static_cast<unsigned int>(out.m_Length);
  return out.m_Data;
}

}  // namespace

int IsCompressed(const CImpBroxCmd& cmd) { return IsCompressedEncoding(cmd.m_ContentEncoding); }

int HasZlibHeader(const char* data, unsigned int length) {
  if (data == NULL || length < 2) return 0;
  unsigned int cmf = static_cast<unsigned char>(data[0]);
  unsigned int flg = static_cast<unsigned char>(data[1]);
  if ((cmf & 0x0f) != 8 || (cmf >> 4) > 7) return 0;
  if ((cmf * 256 + flg) % 31 != 0) return 0;
  return (flg & 0x20) == 0;
}

char* GunzipBuffer(const char* data, unsigned int length, unsigned int* decodedLength) {
  return DecodeToMemory(INFLATE_GZIP, data, length, decodedLength);
}

int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length, char** decoded,
               unsigned int* decodedLength) {
  if (decoded == NULL || decodedLength == NULL) return 0;
  const InflateFormat format = InflateFormatFor(cmd.m_ContentEncoding);
  if (format == INFLATE_NONE) return 0;
  unsigned int produced = 0;
  char* out = DecodeToMemory(format, data, length, &produced);
  if (out == NULL) return 0;
  *decoded = out;
  *decodedLength = produced;
  return 1;
}
