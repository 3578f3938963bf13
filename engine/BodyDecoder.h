// What a download's body passes through on its way to the output file when
// it is stored decoded. The client decides which bodies are offered (a 2xx
// body whose codings are all in the table of ContentEncoding.h, never a
// part that continues a resumed file); the caller's decoder says whether it
// takes them, and does the decoding.
#ifndef ZELVORA_ENGINE_BODYDECODER_H
#define ZELVORA_ENGINE_BODYDECODER_H

#include <cstddef>
#include <vector>

#include "engine/ContentEncoding.h"

// Takes the next block of decoded bytes (for the output file here; the
// front end's inflaters hand theirs to the console or a pipe the same way):
// 1 to go on, 0 when they could not be written, which stops the decoding.
typedef int (*BodyWriter)(void* param, const char* data, size_t length);

class CBodyDecoder {
 public:
  virtual ~CBodyDecoder() {}
  // Called once the head of a 2xx answer to a download says its body is
  // coded by codings (in the order they were applied, at most
  // kMostContentCodings), never under keepOrigin: 1 when this body is to be
  // stored decoded, 0 to store it as it came (de-chunked). Called again,
  // with the same codings, each time the body is to be decoded over from
  // its start.
  virtual int Begin(const std::vector<ContentCoding>& codings) = 0;
  // The next piece of the body's own bytes (de-chunked); the decoded bytes
  // go to write(param, ...). 1, or 0 when the body cannot be decoded or a
  // write failed; no further call comes for that body but End.
  virtual int Decode(const char* data, size_t length, BodyWriter write, void* param) = 0;
  // The body has ended (or the download stopped): 1 when the whole body was
  // decoded and written.
  virtual int End() = 0;
  // 1 when the body of the last Begin that said 1 could not be decoded;
  // else 0, also when Decode or End said 0 only because the writer refused
  // decoded bytes (a full disk is no fault of the body's).
  virtual int Failed() const = 0;
};

#endif
