// Cutting a character from both ends of a text: one rule for header names and
// values, whether they come from a response or from the user's header text.
#ifndef ZELVORA_ENGINE_TEXTTRIM_H
#define ZELVORA_ENGINE_TEXTTRIM_H

#include <string>

// Removes every leading and trailing occurrence of ch from text, in place.
// A NULL text is left alone; ch must not be the zero character.
void TrimChar(char* text, char ch);

// Removes every leading and trailing character of text that is one of set.
void TrimText(std::string& text, const char* set);

#endif
