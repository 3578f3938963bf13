#include "frontend/BodyDecode.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/ContentEncoding.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/CRuntime.h"
#include "platform/LargeBlock.h"

int GunzipFirstRoom(unsigned int length, unsigned int* room) {
  uint64_t wanted = static_cast<uint64_t>(length) * 10u;
  if (wanted > UINT32_MAX) return 0;
  *room = static_cast<unsigned int>(wanted);
  return 1;
}

int GunzipNextRoom(unsigned int room, unsigned int* next) {
  uint64_t wanted = static_cast<uint64_t>(room) + room / 2;
  // A room that no longer grows would restart the same pass for ever.
  if (wanted > UINT32_MAX || wanted <= room) return 0;
  *next = static_cast<unsigned int>(wanted);
  return 1;
}

int InflateRoom(unsigned int length, unsigned int* room) {
  uint64_t wanted = static_cast<uint64_t>(length) * 15u;
  if (wanted > UINT32_MAX) return 0;
  *room = static_cast<unsigned int>(wanted);
  return 1;
}

int IsCompressed(const CImpBroxCmd& cmd) { return IsCompressedEncoding(cmd.m_ContentEncoding); }

int HasZlibHeader(const char* data, unsigned int length) {
  if (data == NULL || length < 2) return 0;
  unsigned int cmf = static_cast<unsigned char>(data[0]);
  unsigned int flg = static_cast<unsigned char>(data[1]);
  if ((cmf & 0x0f) != 8 || (cmf >> 4) > 7) return 0;
  if ((cmf * 256 + flg) % 31 != 0) return 0;
  return (flg & 0x20) == 0;
}

// One inflate call over the whole input with Z_FINISH: the data must end its
// stream inside the room.
static int InflateOnce(const char* data, unsigned int length, char* out, unsigned int* outLength,
                       int windowBits) {
  if (data == NULL || out == NULL || outLength == NULL) return 0;
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = length;
  stream.next_out = reinterpret_cast<Bytef*>(out);
  stream.avail_out = *outLength;
  if (inflateInit2(&stream, windowBits) != Z_OK) return 0;
  int result = inflate(&stream, Z_FINISH);
  if (result != Z_STREAM_END) {
    inflateEnd(&stream);
    return 0;
  }
  unsigned int produced = static_cast<unsigned int>(stream.total_out);
  if (inflateEnd(&stream) != Z_OK) return 0;
  *outLength = produced;
  return 1;
}

int InflateRawBuffer(const char* data, unsigned int length, char* out, unsigned int* outLength) {
  return InflateOnce(data, length, out, outLength, -15);
}

int InflateZlibBuffer(const char* data, unsigned int length, char* out, unsigned int* outLength) {
  return InflateOnce(data, length, out, outLength, 15);
}

// Result of one decoding pass into a fixed room.
enum InflatePass { INFLATE_PASS_DONE, INFLATE_PASS_FULL, INFLATE_PASS_FAILED };

static InflatePass InflateInto(const char* data, unsigned int length, int windowBits, char* out,
                               unsigned int room, unsigned int* produced) {
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = length;
  stream.next_out = reinterpret_cast<Bytef*>(out);
  stream.avail_out = room;
  if (inflateInit2(&stream, windowBits) != Z_OK) return INFLATE_PASS_FAILED;
  while (stream.total_out < room && stream.total_in < length) {
    int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      *produced = static_cast<unsigned int>(stream.total_out);
      return inflateEnd(&stream) == Z_OK ? INFLATE_PASS_DONE : INFLATE_PASS_FAILED;
    }
    if (result != Z_OK) {
      inflateEnd(&stream);
      return INFLATE_PASS_FAILED;
    }
  }
  int full = stream.total_out == room;
  inflateEnd(&stream);
  // Room left over means the input ended before its stream did.
  return full ? INFLATE_PASS_FULL : INFLATE_PASS_FAILED;
}

// Decodes into a room of firstRoom bytes, starting over with a room half as
// large again each time the last one filled up, so a stream decodes whatever
// its ratio. A new buffer, or NULL.
static char* InflateGrowing(const char* data, unsigned int length, int windowBits,
                            unsigned int firstRoom, unsigned int* decodedLength,
                            unsigned int* passes) {
  unsigned int room = firstRoom;
  for (;;) {
    char* out = static_cast<char*>(malloc(room));
    if (out == NULL) return NULL;
    AdviseLargeBlock(out, room);
    if (passes != NULL) ++*passes;
    unsigned int produced = 0;
    InflatePass pass = InflateInto(data, length, windowBits, out, room, &produced);
    if (pass == INFLATE_PASS_DONE) {
      *decodedLength = produced;
      return out;
    }
    free(out);
    if (pass == INFLATE_PASS_FAILED) return NULL;
    if (!GunzipNextRoom(room, &room)) return NULL;
  }
}

char* GunzipBufferPasses(const char* data, unsigned int length, unsigned int* decodedLength,
                         unsigned int* passes) {
  if (passes != NULL) *passes = 0;
  if (data == NULL || length == 0 || decodedLength == NULL) return NULL;
  unsigned int room = 0;
  if (!GunzipFirstRoom(length, &room)) return NULL;
  return InflateGrowing(data, length, 31, room, decodedLength, passes);
}

char* GunzipBuffer(const char* data, unsigned int length, unsigned int* decodedLength) {
  return GunzipBufferPasses(data, length, decodedLength, NULL);
}

int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length, char** decoded,
               unsigned int* decodedLength) {
  if (data == NULL || length == 0 || decoded == NULL || decodedLength == NULL) return 0;
  const char* encoding = cmd.m_ContentEncoding.c_str();
  if (StrICmp(encoding, "deflate") == 0) {
    unsigned int room = 0;
    if (!InflateRoom(length, &room)) return 0;
    unsigned int produced = 0;
    char* out = InflateGrowing(data, length, -15, room, &produced, NULL);
    // HTTP's "deflate" is the zlib format; many servers send it that way.
    if (out == NULL && HasZlibHeader(data, length))
      out = InflateGrowing(data, length, 15, room, &produced, NULL);
    if (out == NULL) return 0;
    *decoded = out;
    *decodedLength = produced;
    return 1;
  }
  if (StrICmp(encoding, "gzip") == 0) {
    unsigned int produced = 0;
    char* out = GunzipBuffer(data, length, &produced);
    if (out == NULL) return 0;
    *decoded = out;
    *decodedLength = produced;
    return 1;
  }
  return 0;
}
