// Inflating a whole response body held in memory (the console's bodies),
// through the decoding loop of Inflater.h, every coding of its list in turn.
#ifndef ZELVORA_FRONTEND_INFLATEINMEMORY_H
#define ZELVORA_FRONTEND_INFLATEINMEMORY_H

#include <string>

class CImpBroxCmd;

// IsCompressedEncoding of the answer's Content-Encoding (AnswerEncoding): 1 when it lists
// codings the program can undo all of (gzip, x-gzip, deflate; identity is
// none), else 0.
int IsCompressed(const CImpBroxCmd& cmd);

// Undoes the codings of the answer's Content-Encoding (AnswerEncoding), the last applied first:
// gzip as every member, deflate with or without the zlib wrapper. 1 with
// the body in *decoded (at most 4 GiB - 1 bytes); 0 with *decoded left
// untouched (no body, a coding not undone here, damaged or cut-short data,
// bytes past the end of a stream, no memory, or a longer result).
int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length,
               std::string* decoded);

#endif
