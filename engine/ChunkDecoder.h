// Pieces of the chunked transfer-coding decoder (CHttpClient::DecodeChunks).
//
// A chunk's data streams on as it arrives, so no chunk is ever held whole:
// what DecodeChunks leaves in m_RawStream is at most a size line not yet
// ended, or the CR LF after a chunk's data not yet complete. Once it
// returned 1, the stream holds every byte after the last-chunk size line:
// for a body that ends exactly where its framing says, the closing CR LF
// and nothing else (the two bytes are neither taken nor compared; trailer
// lines or any surplus stay behind them, unread). ChunkedBodyEndedExactly
// tells the two apart before a connection is kept.
#ifndef ZELVORA_ENGINE_CHUNKDECODER_H
#define ZELVORA_ENGINE_CHUNKDECODER_H

#include <cstddef>
#include <cstdint>

#include "engine/HttpTypes.h"
#include "engine/MemStream.h"

// A size line longer than this, its CR LF included, is refused.
const size_t kChunkLineLimit = 4096;

// Where the decoder stands in a chunked body.
enum ChunkPhase {
  CHUNK_SIZE_LINE,  // a size line is next
  CHUNK_DATA,       // m_Left bytes of a chunk's data are still to come
  CHUNK_DATA_END,   // the CR LF after a chunk's data is next
  CHUNK_LAST        // the last-chunk line was read; two bytes must follow
};

struct ChunkProgress {
  ChunkPhase m_Phase = CHUNK_SIZE_LINE;
  uint64_t m_Left = 0;
};

// Reads the size line at the front of data: hexadecimal digits (any number
// of leading zeros), then optional spaces or tabs, then optionally ";" and
// an extension, then CR LF. 1 with the chunk's size in *size and the line's
// length in *used; 0 while data could still begin such a line; -1 with
// *error: HTTP_ERR_CHUNK_TOO_LARGE for a size beyond 63 bits,
// HTTP_ERR_RESPONSE_FORMAT for anything else (no digit, another character,
// a CR without its LF, a line beyond kChunkLineLimit). The verdict is the
// same however much of the line data holds.
int ReadChunkSizeLine(const char* data, size_t length, uint64_t* size, size_t* used,
                      HttpError* error);

// 1 when the bytes left in raw after DecodeChunks returned 1 are exactly the
// closing CRLF, so the response ended where its framing says.
int ChunkedBodyEndedExactly(const CMemStream& raw);

#endif
