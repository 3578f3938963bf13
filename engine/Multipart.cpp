#include "engine/Multipart.h"

#include <cstdio>
#include <cstring>

#include "platform/Guid.h"

std::string CreateGuidString() {
  char text[33];
  memset(text, 0, sizeof(text));
  PlatformGuid guid;
  if (GuidCreate(&guid)) {
    // The third group alone is lower case, on purpose: the boundary's form
    // is part of what the program sends, and receivers may match it.
    snprintf(text, sizeof(text), "%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
             static_cast<unsigned int>(guid.Data1), static_cast<unsigned int>(guid.Data2),
             static_cast<unsigned int>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
             guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  }
  return text;
}

std::string MakeMimeBoundary() {
  return "===QUANDIX_MIME_BOUNDARY_" + CreateGuidString() + "===";
}

namespace {

// The name as it may stand between quotes on one line: control bytes and the
// quote go as %XX, every other byte as it is.
std::string QuotableName(const char* name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char* at = name ? name : ""; *at != '\0'; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    if (byte < 0x20 || byte == 0x7F || byte == '"') {
      text += '%';
      text += kHex[byte >> 4];
      text += kHex[byte & 0x0F];
    } else {
      text += *at;
    }
  }
  return text;
}

}  // namespace

std::string BuildFilePartHeader(const char* name, const char* boundary) {
  const std::string quoted = QuotableName(name);
  // Built by appending, so a name of any length is written whole.
  std::string head;
  head += "--";
  head += boundary ? boundary : "";
  head += "\r\n";
  head += "Content-Disposition: form-data; name=\"";
  head += quoted;
  head += "\"; filename=\"";
  head += quoted;
  head += "\"";
  head += "\r\n";
  head += "Content-Type: application/octet-stream";
  head += "\r\n\r\n";
  return head;
}
