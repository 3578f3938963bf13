#include "frontend/DecodeToFile.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "frontend/BodyDecode.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/CRuntime.h"

namespace {

// Large enough that writing costs few system calls, small enough to stay in
// the cache while zlib fills it.
const unsigned int kDecodeBlock = 256 * 1024;

DecodeToFileResult InflateStreamToFile(const char* data, unsigned int length, int windowBits,
                                       FileHandle file, std::vector<unsigned char>& block) {
  z_stream stream;
  memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, windowBits) != Z_OK) return DECODE_NO_MEMORY;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = length;
  DecodeToFileResult result = DECODE_BAD_DATA;
  for (;;) {
    stream.next_out = block.data();
    stream.avail_out = static_cast<uInt>(block.size());
    int status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) {
      result = status == Z_MEM_ERROR ? DECODE_NO_MEMORY : DECODE_BAD_DATA;
      break;
    }
    uint32_t produced = static_cast<uint32_t>(block.size() - stream.avail_out);
    uint32_t written = 0;
    if (produced > 0 && (!FileWrite(file, block.data(), produced, &written) || written != produced)) {
      result = DECODE_WRITE_FAILED;
      break;
    }
    if (status == Z_STREAM_END) {
      result = DECODED_TO_FILE;
      break;
    }
    // Input used up and the room not filled: the stream was cut short.
    if (stream.avail_in == 0 && stream.avail_out != 0) break;
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace

DecodeToFileResult DecodeBodyToFile(const CImpBroxCmd& cmd, const char* data, unsigned int length,
                                    FileHandle file) {
  if (data == nullptr || length == 0 || file == nullptr) return DECODE_BAD_DATA;
  std::vector<unsigned char> block(kDecodeBlock);
  const char* encoding = cmd.m_ContentEncoding.c_str();
  if (StrICmp(encoding, "gzip") == 0) return InflateStreamToFile(data, length, 31, file, block);
  if (StrICmp(encoding, "deflate") != 0) return DECODE_BAD_DATA;
  DecodeToFileResult raw = InflateStreamToFile(data, length, -15, file, block);
  // HTTP's "deflate" is the zlib format; many servers send it that way.
  if (raw != DECODE_BAD_DATA || !HasZlibHeader(data, length)) return raw;
  if (!FileSeek(file, 0, FILE_SEEK_BEGIN, nullptr) || !FileTruncate(file, 0)) return DECODE_WRITE_FAILED;
  return InflateStreamToFile(data, length, 15, file, block);
}
