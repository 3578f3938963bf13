// Text helpers for header text and names. They hold no state, print nothing
// and report only through their results.
#ifndef ZELVORA_FRONTEND_TEXTHELPERS_H
#define ZELVORA_FRONTEND_TEXTHELPERS_H

#include <string>

// TrimChar comes from the engine (engine/TextTrim.h); the front end cuts
// spaces only with it, where a response's values lose tabs too.
#include "engine/TextTrim.h"

// Replaces every occurrence of pattern by replacement, left to right; the
// search resumes behind the inserted text. An empty pattern changes nothing.
void ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement);

#endif
