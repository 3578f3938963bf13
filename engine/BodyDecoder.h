// What a download's body passes through on its way to the output file when
// the caller wants it stored decoded. The engine knows no content coding:
// the caller's decoder decides from the head whether it decodes a body, and
// does the decoding.
#ifndef ZELVORA_ENGINE_BODYDECODER_H
#define ZELVORA_ENGINE_BODYDECODER_H

#include <cstddef>

class CHttpClient;

// Takes the next block of decoded bytes (for the output file here; the
// front end's inflaters hand theirs to the console or a pipe the same way):
// 1 to go on, 0 when they could not be written, which stops the decoding.
typedef int (*BodyWriter)(void* param, const char* data, size_t length);

class CBodyDecoder {
 public:
  virtual ~CBodyDecoder() {}
  // Called once the head of a 2xx answer to a download is known (never
  // under keepOrigin, which stores every byte as it came): 1 when this body
  // is to be stored decoded, 0 to store it as it came (de-chunked). The
  // client tells whether the answer ContinuesResumedFile. Called again,
  // with the same answer, each time the body is to be decoded over from its
  // start.
  virtual int Begin(const CHttpClient& client) = 0;
  // The next piece of the body's own bytes (de-chunked); the decoded bytes
  // go to write(param, ...). 1, or 0 when the body cannot be decoded or a
  // write failed; no further call comes for that body but End.
  virtual int Decode(const char* data, size_t length, BodyWriter write, void* param) = 0;
  // The body has ended (or the download stopped): 1 when the whole body was
  // decoded and written.
  virtual int End() = 0;
  // 1 when the body of the last Begin that said 1 could not be decoded or
  // its decoded bytes could not be written; else 0.
  virtual int Failed() const = 0;
};

#endif
