// Ordered map from header name to value. Keys are exact byte strings in byte
// order (names differing only in case are separate entries); an insert keeps
// the first value of a key.
#ifndef ZELVORA_ENGINE_HEADERMAP_H
#define ZELVORA_ENGINE_HEADERMAP_H

#include <map>
#include <string>

typedef std::map<std::string, std::string> HeaderMap;

#endif
