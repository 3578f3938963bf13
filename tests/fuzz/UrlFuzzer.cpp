// URL splitting on any text, judged against the splitting rules written out
// here on their own: what is refused, the scheme and its port, where the
// host ends ("/", "?" or "#", whichever comes first), the path with query
// and fragment, and the port range (digits naming 1 to 65535).
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "engine/Url.h"
#include "platform/CRuntime.h"

namespace {

struct UrlReference {
  int m_Split = 0;
  std::string m_Scheme;
  std::string m_Host;
  std::string m_Path;
  unsigned short m_Port = 0;
};

// The port a port text names: empty keeps the scheme's, else decimal digits
// only (leading zeros allowed) naming 1 to 65535; 0 for any other text.
int PortOf(const std::string& text, unsigned short* port) {
  if (text.empty()) return 1;
  if (text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const size_t first = text.find_first_not_of('0');
  if (first == std::string::npos || text.size() - first > 5) return 0;
  const long value = atol(text.c_str() + first);
  if (value > 65535) return 0;
  *port = static_cast<unsigned short>(value);
  return 1;
}

// The rules: no empty text, no blank or control byte (a host or path that
// held one would end a field or a line of the request head); the scheme is
// the text before the first "://", http or https in any case, or http when
// there is none; the authority runs to the first "/", "?" or "#" and may
// not be empty; its last colon puts the port after it; the path is "/" and
// what follows a "/" there, or the "?" or "#" and what follows.
UrlReference Split(const std::string& url) {
  UrlReference ref;
  if (url.empty()) return ref;
  for (const char c : url) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return ref;
  }
  ref.m_Scheme = "http";
  ref.m_Port = 80;
  std::string rest = url;
  const size_t separator = url.find("://");
  if (separator != std::string::npos) {
    const std::string scheme = url.substr(0, separator);
    if (StrICmp(scheme.c_str(), "https") == 0) {
      ref.m_Scheme = "https";
      ref.m_Port = 443;
    } else if (StrICmp(scheme.c_str(), "http") != 0) {
      return ref;
    }
    rest = url.substr(separator + 3);
  }
  size_t end = rest.size();
  for (const char stop : {'/', '?', '#'}) {
    const size_t at = rest.find(stop);
    if (at < end) end = at;
  }
  const std::string authority = rest.substr(0, end);
  if (authority.empty()) return ref;
  ref.m_Path = "/";
  if (end < rest.size()) ref.m_Path += rest.substr(rest[end] == '/' ? end + 1 : end);
  const size_t colon = authority.rfind(':');
  ref.m_Host = authority.substr(0, colon);
  if (colon != std::string::npos && !PortOf(authority.substr(colon + 1), &ref.m_Port)) return ref;
  ref.m_Split = 1;
  return ref;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The URL is a C string: it ends at the first zero byte.
  const std::string url(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  const UrlReference ref = Split(url);

  std::string scheme;
  std::string host = "untouched-host";
  std::string path = "untouched-path";
  unsigned short port = 1;
  int useTls = 7;
  const int split = ParseUrl(url.c_str(), scheme, &host, &path, &port, &useTls);
  FUZZ_CHECK(split == ref.m_Split);
  if (!split) {
    FUZZ_CHECK(host == "untouched-host");
    FUZZ_CHECK(path == "untouched-path");
    return 0;
  }
  FUZZ_CHECK(scheme == ref.m_Scheme);
  FUZZ_CHECK(useTls == (scheme == "https" ? 1 : 0));
  FUZZ_CHECK(host == ref.m_Host);
  FUZZ_CHECK(path == ref.m_Path);
  FUZZ_CHECK(port == ref.m_Port);

  // The optional outputs may be left out.
  std::string otherScheme;
  FUZZ_CHECK(ParseUrl(url.c_str(), otherScheme, nullptr, nullptr, nullptr, nullptr) == 1);
  FUZZ_CHECK(otherScheme == scheme);
  return 0;
}
