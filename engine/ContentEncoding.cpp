#include "engine/ContentEncoding.h"

#include "platform/CRuntime.h"

int IsCompressedEncoding(const std::string& encoding) {
  return StrICmp(encoding.c_str(), "gzip") == 0 || StrICmp(encoding.c_str(), "deflate") == 0;
}
