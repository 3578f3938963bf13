// Splitting a URL into scheme, host, path, port and TLS flag.
#ifndef ZELVORA_ENGINE_URL_H
#define ZELVORA_ENGINE_URL_H

#include <string>

// The host part ends at the first "/", "?" or "#"; the path is "/" and the
// rest (after that "/", or from that "?" or "#"), query and fragment kept.
// 1 when the URL was split, 0 for an empty URL, a URL holding a blank or a
// control byte (below 0x21, or 0x7F), a scheme other than http or https, an
// empty authority, or a port text (after the authority's last colon) that is
// neither empty nor digits naming 1 to 65535. Host and path are written only
// on 1.
int ParseUrl(const char* url, std::string& scheme, std::string* host, std::string* path,
             unsigned short* port, int* useTls);

#endif
