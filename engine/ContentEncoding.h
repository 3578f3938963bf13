// The content codings the program knows, in one table, and what a
// response's Content-Encoding value says about its body: which codings to
// undo, whether the program can undo them all, and the file-name suffix that
// -compress gives a body kept as it came.
#ifndef ZELVORA_ENGINE_CONTENTENCODING_H
#define ZELVORA_ENGINE_CONTENTENCODING_H

#include <cstddef>
#include <string>
#include <vector>

enum ContentCoding {
  CODING_GZIP,    // gzip members ("gzip", "x-gzip")
  CODING_DEFLATE  // a deflate stream ("deflate"), zlib-wrapped or raw
};

// A body may list at most this many codings and still be undone: each one
// costs a decoder of its own while the body streams.
const size_t kMostContentCodings = 4;

// Reads a Content-Encoding value: a comma list of coding names, compared
// without regard to case, each with any spaces and tabs around it.
// "identity" and empty entries are no coding. codings becomes the rest in
// the order the server applied them (the first in the list first), so the
// body is undone from the back. 1 when every entry is a coding of the table
// and there are at most kMostContentCodings of them; else 0, with codings
// empty: the body is to be kept as it came.
int ReadContentCodings(const std::string& value, std::vector<ContentCoding>& codings);

// 1 when the value lists at least one coding and ReadContentCodings can
// undo them all; else 0.
int IsCompressedEncoding(const std::string& value);

// The suffix for a body kept as it came: that of its outermost coding (the
// last in the list that is not identity), ".gzip" or ".deflate"; "" when that
// coding is not in the table or there is none.
const char* CodingSuffix(const std::string& value);

#endif
