// URL splitting: any text either fails without touching host and path, or
// yields a known scheme, a matching TLS flag and a path that starts with "/".
#include <cstring>

#include "FuzzInput.h"
#include "engine/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The URL is a C string: it ends at the first zero byte.
  const std::string url(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

  std::string scheme;
  std::string host = "untouched-host";
  std::string path = "untouched-path";
  unsigned short port = 1;
  int useTls = 7;
  const int split = ParseUrl(url.c_str(), scheme, &host, &path, &port, &useTls);
  if (!split) {
    FUZZ_CHECK(host == "untouched-host");
    FUZZ_CHECK(path == "untouched-path");
    return 0;
  }
  FUZZ_CHECK(scheme == "http" || scheme == "https");
  FUZZ_CHECK(useTls == (scheme == "https" ? 1 : 0));
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  // Host and path come out of the URL text, never from anywhere else.
  FUZZ_CHECK(host.size() + path.size() <= url.size() + 1);
  FUZZ_CHECK(url.find(host) != std::string::npos);
  // Nothing that could end a line or a field of the request head gets through.
  for (char c : host + path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(byte > 0x20 && byte != 0x7F);
  }

  // The optional outputs may be left out.
  std::string otherScheme;
  FUZZ_CHECK(ParseUrl(url.c_str(), otherScheme, nullptr, nullptr, nullptr, nullptr) == 1);
  FUZZ_CHECK(otherScheme == scheme);
  return 0;
}
