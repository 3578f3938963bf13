// Parsing of a response head into status line parts and a header map.
#ifndef ZELVORA_ENGINE_RESPONSEHEAD_H
#define ZELVORA_ENGINE_RESPONSEHEAD_H

#include <string>

#include "engine/HeaderMap.h"

int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers);
void TrimSpaces(char* text);
// 1 and the value when an entry's name equals name without regard to case
// (first match in key order), else 0 with value untouched.
int GetHeaderValue(const char* name, std::string& value, const HeaderMap& headers);

#endif
