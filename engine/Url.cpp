#include "engine/Url.h"

#include <cstring>

#include "platform/CRuntime.h"

int ParseUrl(const char* url, std::string& scheme, std::string* host, std::string* path,
             unsigned short* port, int* useTls) {
  if (!url || url[0] == '\0') return 0;
  // Host and path go into the request head as they are: a blank or a control
  // byte there would end a field or a line early and let the rest of the URL
  // pass for more of the head, or for another request.
  for (const char* at = url; *at != '\0'; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    if (byte <= 0x20 || byte == 0x7F) return 0;
  }

  // Work on a copy: the caller's text stays as it is.
  const std::string text(url);

  scheme = "http";
  if (port) *port = 80;
  if (useTls) *useTls = 0;

  std::string rest;
  const std::string::size_type schemeEnd = text.find("://");
  if (schemeEnd != std::string::npos) {
    const std::string schemeText = text.substr(0, schemeEnd);
    if (StrICmp(schemeText.c_str(), "https") == 0) {
      scheme = "https";
      if (port) *port = 443;
      if (useTls) *useTls = 1;
    } else if (StrICmp(schemeText.c_str(), "http") != 0) {
      return 0;
    }
    rest = text.substr(schemeEnd + 3);
  } else {
    rest = text;
  }

  // The authority ends at the first "/", "?" or "#": a query or a fragment
  // written right after the host or port belongs to the request target, not
  // to the host or the port text.
  std::string authority;
  std::string tail;
  const std::string::size_type authorityEnd = rest.find_first_of("/?#");
  if (authorityEnd != std::string::npos) {
    authority = rest.substr(0, authorityEnd);
    tail = rest.substr(rest[authorityEnd] == '/' ? authorityEnd + 1 : authorityEnd);
  } else {
    authority = rest;
  }
  if (authority.empty()) return 0;

  // The last colon decides the port, so user information with a colon in
  // front of the host stays part of the host text.
  std::string hostText = authority;
  const std::string::size_type colon = authority.rfind(':');
  if (colon != std::string::npos) {
    hostText = authority.substr(0, colon);
    const std::string portText = authority.substr(colon + 1);
    // Only digits naming 1 to 65535 are a port: any other text, cut to fit,
    // would connect somewhere nobody asked for. An empty one keeps the
    // scheme's port.
    unsigned int value = 0;
    for (const char digit : portText) {
      if (digit < '0' || digit > '9') return 0;
      value = value * 10 + static_cast<unsigned int>(digit - '0');
      if (value > 65535) return 0;
    }
    if (!portText.empty() && value == 0) return 0;
    if (!portText.empty() && port) *port = static_cast<unsigned short>(value);
  }

  if (host) *host = hostText;
  if (path) *path = "/" + tail;
  return 1;
}
