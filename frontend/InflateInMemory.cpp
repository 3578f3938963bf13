#include "frontend/InflateInMemory.h"

#include <cstdint>
#include <new>
#include <vector>

#include "engine/ContentEncoding.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/Inflater.h"

namespace {

int AppendToString(void* param, const char* data, size_t length) {
  std::string& out = *static_cast<std::string*>(param);
  // The console pages a body by a 32-bit count.
  if (length > UINT32_MAX - out.size()) return 0;
  try {
    out.append(data, length);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

}  // namespace

int IsCompressed(const CImpBroxCmd& cmd) { return IsCompressedEncoding(cmd.AnswerEncoding()); }

int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length,
               std::string* decoded) {
  if (decoded == NULL || data == NULL || length == 0) return 0;
  std::vector<ContentCoding> codings;
  if (!ReadContentCodings(cmd.AnswerEncoding(), codings) || codings.empty()) return 0;
  std::string out;
  CInflateChain inflaters;
  inflaters.Begin(codings);
  if (inflaters.Feed(data, length, AppendToString, &out) != INFLATE_OK ||
      inflaters.Finish() != INFLATE_OK)
    return 0;
  decoded->swap(out);
  return 1;
}
