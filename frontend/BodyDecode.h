// Inflating whole gzip and deflate response bodies held in memory (the
// console's bodies), through the one decoding loop of Inflater.h. Buffers
// returned here come from malloc and belong to the caller (free).
#ifndef ZELVORA_FRONTEND_BODYDECODE_H
#define ZELVORA_FRONTEND_BODYDECODE_H

class CImpBroxCmd;

// IsCompressedEncoding of the recorded Content-Encoding: 1 for "gzip" or
// "deflate" (any case, whole value), else 0.
int IsCompressed(const CImpBroxCmd& cmd);

// Inflates the body by the recorded Content-Encoding: every gzip member, or
// a deflate stream with or without the zlib wrapper. 1 with a new buffer in
// *decoded and its byte count in *decodedLength; 0 with both left untouched
// (no body, another coding, damaged or cut-short data, no memory, or a
// result past 4 GiB).
int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length, char** decoded,
               unsigned int* decodedLength);

// Inflates gzip data (every member). A new buffer (not zero-terminated,
// possibly larger than the result) with its byte count in *decodedLength, or
// NULL on failure.
char* GunzipBuffer(const char* data, unsigned int length, unsigned int* decodedLength);

// 1 when the first two bytes form a valid zlib header without a preset
// dictionary.
int HasZlibHeader(const char* data, unsigned int length);

#endif
