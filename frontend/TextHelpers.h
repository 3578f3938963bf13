// Text helpers for header text and names. They hold no state, print nothing
// and report only through their results.
#ifndef ZELVORA_FRONTEND_TEXTHELPERS_H
#define ZELVORA_FRONTEND_TEXTHELPERS_H

#include <string>

// Removes every leading and trailing occurrence of ch from text, in place.
// A NULL text is left alone; ch must not be the zero character.
void TrimChar(char* text, char ch);

// Replaces every occurrence of pattern by replacement, left to right; the
// search resumes behind the inserted text. An empty pattern changes nothing.
void ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement);

#endif
