// Parsing of a response head into status line parts and a header map.
#ifndef ZELVORA_ENGINE_RESPONSEHEAD_H
#define ZELVORA_ENGINE_RESPONSEHEAD_H

#include <cstdint>
#include <string>

#include "engine/HeaderMap.h"

// Reads headText up to its first empty line; only CR LF ends a line. The
// first line gives version, statusText and reason (split at its first two
// spaces; reason is left alone without a second one); every later line with
// a colon adds its trimmed name and value to headers, where the first value
// of a name stays. 0 when the first line has no space, else 1 (also for
// NULL, with nothing set).
int ParseResponseHead(const char* headText, std::string& version, std::string& statusText,
                      std::string& reason, HeaderMap& headers);
// Cuts the spaces (only ' ') from both ends of text, in place; NULL is left.
// TrimChar with ' ' (engine/TextTrim.h).
void TrimSpaces(char* text);
// 1 and the value when an entry's name equals name without regard to case
// (first match in key order), else 0 with value untouched.
int GetHeaderValue(const char* name, std::string& value, const HeaderMap& headers);

// 1 when headText's status line (as ParseResponseHead reads it) gives an
// interim answer: a status of 100 to 199 other than 101. The final answer
// follows it on the connection.
int IsInterimAnswer(const char* headText);
// Reads every Content-Length line of headText (the name in any case, in the
// lines ParseResponseHead reads). 1 with *length when all of them hold the
// same decimal number (blanks and tabs around it allowed, digits only, a
// value beyond the 64-bit range saturates); 0 when there is none, *length
// untouched; -1 when one is no such number or two differ.
int ReadContentLength(const char* headText, int64_t* length);

#endif
