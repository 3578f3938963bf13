// Cutting characters from both ends of a text. Two rules use it: a
// response's header names lose their spaces and its values their spaces
// and tabs (TrimText, engine/ResponseHead.cpp), while the user's header
// lines lose spaces only (TrimChar, frontend/RequestData.cpp), as do the
// parts of Content-Type and Content-Disposition read for a file's name (a
// disposition value its quotes too).
#ifndef ZELVORA_ENGINE_TEXTTRIM_H
#define ZELVORA_ENGINE_TEXTTRIM_H

#include <string>

// Removes every leading and trailing occurrence of ch from text, in place.
// A NULL text is left alone; ch must not be the zero character.
void TrimChar(char* text, char ch);

// Removes every leading and trailing character of text that is one of set.
void TrimText(std::string& text, const char* set);

#endif
