// Pieces of the chunked transfer-coding decoder (CHttpClient::DecodeChunks).
//
// What DecodeChunks leaves in m_RawStream:
// - result 0: the framed bytes not decoded yet (a partial size line, or the
//   data of a chunk whose size line was taken and whose data plus the two
//   bytes after it have not all arrived; *pendingSize then holds its size).
// - result 1: every byte after the last-chunk size line ("0" and CRLF). For
//   a body that ends exactly where its framing says, that is the closing
//   CRLF and nothing else: the two bytes are neither taken nor compared, and
//   trailer lines or any surplus stay behind them, unread. Use
//   ChunkedBodyEndedExactly to tell the two apart before keeping a
//   connection alive.
// - result -1: whatever was buffered when the framing was refused.
#ifndef ZELVORA_ENGINE_CHUNKDECODER_H
#define ZELVORA_ENGINE_CHUNKDECODER_H

#include "engine/MemStream.h"

// Framed bytes buffered at once; at this length or more the decoder refuses.
const unsigned int kChunkBufferLimit = 8388608;

// Reads a chunk-size text the way "%x" scans it (leading white space, an
// optional "+", an optional 0x prefix, hexadecimal digits up to the first
// other character). Returns 1 with *size set when the text starts with a
// non-negative hexadecimal number that fits a signed 32-bit int, else 0
// (*size untouched): no digit, a minus sign, or too large.
int ParseChunkSize(const char* text, int* size);

// 1 when the bytes left in raw after DecodeChunks returned 1 are exactly the
// closing CRLF, so the response ended where its framing says.
int ChunkedBodyEndedExactly(const CMemStream& raw);

#endif
