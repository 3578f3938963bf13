// The last segment of a path or URL: the text behind its last separator. The
// upload's file name, a batch file's name, a name the response suggests and
// the executable's own name are all taken this way; each caller says which
// characters separate.
#ifndef ZELVORA_ENGINE_PATHSEGMENT_H
#define ZELVORA_ENGINE_PATHSEGMENT_H

#include <cstddef>
#include <string>

// Where the last segment of text starts: just behind the last character that
// is one of separators, or 0 when text holds none of them (the whole text is
// then the segment). A separator at the very end gives text.size(), an empty
// segment. separators must not be NULL.
size_t LastSegmentStart(const std::string& text, const char* separators);

// The last segment itself: text from LastSegmentStart on.
std::string LastSegment(const std::string& text, const char* separators);

// For callers to whom a text without any separator has no segment (a URL
// path must hold "/"): 1 with *head the text before the last separator
// (may be NULL) and *segment the text behind it; 0, writing nothing, when
// text holds no separator.
int SplitLastSegment(const std::string& text, const char* separators, std::string* head,
                     std::string* segment);

#endif
