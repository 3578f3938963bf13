#include "engine/Url.h"

#include "platform/CRuntime.h"

namespace {

// Host and path go into the request head as they are: a blank or a control
// byte there would end a field or a line early and let the rest of the URL
// pass for more of the head, or for another request.
int HasOnlyVisibleBytes(const char* url) {
  for (const char* at = url; *at != '\0'; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    if (byte <= 0x20 || byte == 0x7F) return 0;
  }
  return 1;
}

// The scheme before the first "://", or http when there is none: scheme,
// *port and *useTls get its defaults and *rest what follows it. 0 for any
// other scheme text, an empty one included.
int ReadScheme(const std::string& text, std::string& scheme, unsigned short* port, int* useTls,
               std::string* rest) {
  scheme = "http";
  if (port) *port = 80;
  if (useTls) *useTls = 0;
  const std::string::size_type schemeEnd = text.find("://");
  if (schemeEnd == std::string::npos) {
    *rest = text;
    return 1;
  }
  const std::string schemeText = text.substr(0, schemeEnd);
  if (StrICmp(schemeText.c_str(), "https") == 0) {
    scheme = "https";
    if (port) *port = 443;
    if (useTls) *useTls = 1;
  } else if (StrICmp(schemeText.c_str(), "http") != 0) {
    return 0;
  }
  *rest = text.substr(schemeEnd + 3);
  return 1;
}

// The authority ends at the first "/", "?" or "#": a query or a fragment
// written right after the host or port belongs to the request target, not
// to the host or the port text. *tail is what follows a "/", or the rest
// from a "?" or "#".
void SplitAuthority(const std::string& rest, std::string* authority, std::string* tail) {
  const std::string::size_type authorityEnd = rest.find_first_of("/?#");
  if (authorityEnd == std::string::npos) {
    *authority = rest;
    return;
  }
  *authority = rest.substr(0, authorityEnd);
  *tail = rest.substr(rest[authorityEnd] == '/' ? authorityEnd + 1 : authorityEnd);
}

// The last colon decides the port, so user information with a colon in
// front of the host stays part of the host text. Only digits naming 1 to
// 65535 are a port: any other text, cut to fit, would connect somewhere
// nobody asked for (0 then, *port untouched). An empty one keeps the
// scheme's port.
int SplitPort(const std::string& authority, std::string* hostText, unsigned short* port) {
  const std::string::size_type colon = authority.rfind(':');
  if (colon == std::string::npos) {
    *hostText = authority;
    return 1;
  }
  *hostText = authority.substr(0, colon);
  const std::string portText = authority.substr(colon + 1);
  if (portText.empty()) return 1;
  unsigned int value = 0;
  for (const char digit : portText) {
    if (digit < '0' || digit > '9') return 0;
    value = value * 10 + static_cast<unsigned int>(digit - '0');
    if (value > 65535) return 0;
  }
  if (value == 0) return 0;
  if (port) *port = static_cast<unsigned short>(value);
  return 1;
}

}  // namespace

int ParseUrl(const char* url, std::string& scheme, std::string* host, std::string* path,
             unsigned short* port, int* useTls) {
  if (!url || url[0] == '\0' || !HasOnlyVisibleBytes(url)) return 0;
  // The caller's text stays as it is.
  std::string rest;
  if (!ReadScheme(url, scheme, port, useTls, &rest)) return 0;
  std::string authority;
  std::string tail;
  SplitAuthority(rest, &authority, &tail);
  if (authority.empty()) return 0;
  std::string hostText;
  if (!SplitPort(authority, &hostText, port)) return 0;
  if (host) *host = hostText;
  if (path) *path = "/" + tail;
  return 1;
}
