// Inflating complete gzip and deflate response bodies held in memory.
// Buffers returned here come from malloc and belong to the caller (free).
#ifndef ZELVORA_FRONTEND_BODYDECODE_H
#define ZELVORA_FRONTEND_BODYDECODE_H

class CImpBroxCmd;

// IsCompressedEncoding of the recorded Content-Encoding: 1 for "gzip" or
// "deflate" (any case, whole value), else 0.
int IsCompressed(const CImpBroxCmd& cmd);

// Inflates the body by the recorded Content-Encoding. 1 with a new buffer in
// *decoded and its byte count in *decodedLength; 0 with both left untouched.
int DecodeBody(const CImpBroxCmd& cmd, const char* data, unsigned int length, char** decoded,
               unsigned int* decodedLength);

// Inflates the first gzip member of data. A new buffer (not zero-terminated,
// possibly larger than the result) with its byte count in *decodedLength, or
// NULL on failure.
char* GunzipBuffer(const char* data, unsigned int length, unsigned int* decodedLength);

// The same, also telling how many decoding passes were run (each pass starts
// over with a larger room). passes may be NULL.
char* GunzipBufferPasses(const char* data, unsigned int length, unsigned int* decodedLength,
                         unsigned int* passes);

// Inflates raw deflate data into out, whose room is *outLength. 1 with the
// decoded count in *outLength; 0 on failure (*outLength unchanged).
int InflateRawBuffer(const char* data, unsigned int length, char* out, unsigned int* outLength);

// The same for deflate data with the zlib wrapper (RFC 1950).
int InflateZlibBuffer(const char* data, unsigned int length, char* out, unsigned int* outLength);

// 1 when the first two bytes form a valid zlib header without a preset
// dictionary.
int HasZlibHeader(const char* data, unsigned int length);

// Output rooms, computed in 64 bits: 1 with the room, or 0 when it would not
// fit an unsigned 32-bit count. First gzip room: 10 times the input; next
// gzip room: 1.5 times the last (fraction dropped); deflate room: 15 times.
int GunzipFirstRoom(unsigned int length, unsigned int* room);
int GunzipNextRoom(unsigned int room, unsigned int* next);
int InflateRoom(unsigned int length, unsigned int* room);

#endif
