// The chunked transfer-coding decoder: size lines, chunk data, the CR LF
// after it, and after the last chunk its trailer lines up to the empty line
// that ends the body.
//
// A chunk's data streams on to a sink as it arrives, so no chunk is ever
// held whole: what the decoder leaves of what it was offered is at most a
// line not yet ended, or the CR LF after a chunk's data not yet complete;
// the caller offers those bytes again with more behind them. Once the body
// ended, the decoder knows exactly where: bytes after that are no part of
// it.
#ifndef ZELVORA_ENGINE_CHUNKDECODER_H
#define ZELVORA_ENGINE_CHUNKDECODER_H

#include <cstddef>
#include <cstdint>

#include "engine/HttpTypes.h"

// A size line longer than this, its CR LF included, is refused; so is a
// trailer line.
const size_t kChunkLineLimit = 4096;
// The trailer lines after the last chunk may take this many bytes together
// (the empty line not counted), as many as a head.
const size_t kChunkTrailerLimit = 8192;

// Where the decoder stands in a chunked body.
enum ChunkPhase {
  CHUNK_SIZE_LINE,  // a size line is next
  CHUNK_DATA,       // m_Left bytes of a chunk's data are still to come
  CHUNK_DATA_END,   // the CR LF after a chunk's data is next
  CHUNK_LAST,       // the last-chunk line was read; trailer lines and the empty line follow
  CHUNK_DONE        // the body ended
};

// Takes the body's own bytes as they are decoded: 1, or 0 to stop the
// decoder (the sink knows why).
typedef int (*ChunkDataSink)(void* param, const char* data, unsigned int length);

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

class CChunkDecoder {
 public:
  // Reads data[0, length) from where the decoder stands, handing chunk data
  // to sink(param, ...) in the pieces it comes in. *used grows by the bytes
  // taken; the rest (a line or line end not yet whole) is to be offered
  // again at the front of the next call. Trailer lines end like the lines
  // of a head (LF, with or without a CR before it); only their length is
  // looked at, and nothing of them is kept. 1 once
  // the body ended, with *used at its end (bytes behind it are not the
  // body's); 0 when more bytes are needed; -1 when the framing is refused,
  // with *error set (HTTP_ERR_RESPONSE_FORMAT, HTTP_ERR_CHUNK_TOO_LARGE),
  // or when the sink stopped it (*error then untouched). The verdict, the
  // data and the end never depend on how the bytes were cut into calls.
  int Decode(const char* data, unsigned int length, unsigned int* used, ChunkDataSink sink,
             void* param, HttpError* error);

  ChunkPhase m_Phase = CHUNK_SIZE_LINE;
  // Chunk data still to come while m_Phase is CHUNK_DATA.
  uint64_t m_Left = 0;
  // Bytes of trailer lines read so far.
  size_t m_TrailerLength = 0;

 private:
  // One step of Decode for each phase, on data[0, length) where the decoder
  // stands: 1 with *taken bytes used when the step is done (the phase may
  // have moved on), 0 when more bytes are needed, -1 when refused (or
  // stopped by the sink).
  //
  // A size line: the chunk's data, or the last chunk's trailer, is next.
  int TakeSizeLine(const char* data, unsigned int length, unsigned int* taken, HttpError* error);
  // As much of the chunk's data as data holds, handed to the sink.
  int PassData(const char* data, unsigned int length, unsigned int* taken, ChunkDataSink sink,
               void* param);
  // The CR LF after a chunk's data.
  int TakeDataEnd(const char* data, unsigned int length, unsigned int* taken, HttpError* error);
  // A trailer line, within the limits, or the empty line that ends the body.
  int TakeTrailerLine(const char* data, unsigned int length, unsigned int* taken, HttpError* error);
};

#endif
