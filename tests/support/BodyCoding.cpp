#include "support/BodyCoding.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>

std::string Deflate(const std::string& data, int windowBits, int level) {
  z_stream stream = {};
  if (deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) abort();
  std::string out(deflateBound(&stream, data.size()) + 64, '\0');
  stream.next_in = (Bytef*)data.data();
  stream.avail_in = (uInt)data.size();
  stream.next_out = (Bytef*)&out[0];
  stream.avail_out = (uInt)out.size();
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) abort();
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

bool Inflate(const std::string& data, int windowBits, std::string* out) {
  z_stream stream = {};
  if (inflateInit2(&stream, windowBits) != Z_OK) abort();
  out->clear();
  char block[65536];
  stream.next_in = (Bytef*)data.data();
  stream.avail_in = (uInt)data.size();
  int status;
  do {
    stream.next_out = (Bytef*)block;
    stream.avail_out = sizeof(block);
    status = inflate(&stream, Z_NO_FLUSH);
    out->append(block, sizeof(block) - stream.avail_out);
  } while (status == Z_OK);
  inflateEnd(&stream);
  return status == Z_STREAM_END && stream.avail_in == 0;
}

std::string Chunked(const std::string& data, size_t piece) {
  std::string out;
  char size[32];
  for (size_t at = 0; at < data.size(); at += piece) {
    std::string part = data.substr(at, piece);
    snprintf(size, sizeof(size), "%zx\r\n", part.size());
    out += size + part + "\r\n";
  }
  return out + "0\r\n\r\n";
}
