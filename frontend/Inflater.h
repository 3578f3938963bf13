// The one decoding loop for gzip and deflate bodies: fed a piece at a time,
// it hands each decoded block to a writer as soon as it is made, so a body
// of any size decodes in a fixed amount of memory. Bodies in memory, in a
// file and on their way to a pipe all go through it; a body of several
// codings goes through a chain of them, one per coding.
#ifndef ZELVORA_FRONTEND_INFLATER_H
#define ZELVORA_FRONTEND_INFLATER_H

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/BodyDecoder.h"
#include "engine/ContentEncoding.h"

struct z_stream_s;

enum InflateResult {
  INFLATE_OK,            // every byte so far decoded and written
  INFLATE_BAD_DATA,      // not (or no longer) data of the format: damaged, or cut short at the end
  INFLATE_WRITE_FAILED,  // the writer refused a block
  INFLATE_NO_MEMORY      // the decoder's state could not be had
};

// 1 when the first two bytes form a valid zlib header without a preset
// dictionary: how a "deflate" body tells the zlib wrapper from raw data.
int HasZlibHeader(const char* data, unsigned int length);

class CInflater {
 public:
  CInflater();
  ~CInflater();
  CInflater(const CInflater&) = delete;
  CInflater& operator=(const CInflater&) = delete;

  // Starts a new body of the given coding: one or more gzip members (RFC
  // 1952) one after another, or a deflate stream with the zlib wrapper (RFC
  // 1950) or raw (RFC 1951). What an earlier body left is dropped. Before
  // the first Begin every Feed fails.
  void Begin(ContentCoding coding);
  // Decodes the next length bytes of the body and writes what they give.
  // After any result but INFLATE_OK the body stays failed with that result.
  InflateResult Feed(const char* data, size_t length, BodyWriter write, void* param);
  // The body ended: INFLATE_OK when it ended where its format lets it end
  // (after a whole gzip member or deflate stream, or with no byte at all).
  InflateResult Finish();
  // INFLATE_OK, or the result the body failed with.
  InflateResult State() const { return m_State; }

 private:
  InflateResult Start(int windowBits);
  InflateResult Run(const char* data, size_t length, BodyWriter write, void* param);
  InflateResult Fail(InflateResult result);

  ContentCoding m_Format;
  InflateResult m_State;
  // A zlib stream is under way (its state is set up).
  int m_Started;
  // The last stream ended and nothing came after it yet.
  int m_AtStreamEnd;
  // Bytes of the body fed so far (a deflate body's first byte waits in
  // m_FirstByte until the second tells its wrapper).
  size_t m_Fed;
  char m_FirstByte;
  std::unique_ptr<z_stream_s> m_Stream;
  std::unique_ptr<char[]> m_Block;
};

// A body of one or more content codings, undone in turn: what one decoder
// makes is fed to the next as it is made, so the whole chain, too, decodes
// in a fixed amount of memory.
class CInflateChain {
 public:
  CInflateChain() : m_Count(0), m_Write(nullptr), m_Param(nullptr) {}
  CInflateChain(const CInflateChain&) = delete;
  CInflateChain& operator=(const CInflateChain&) = delete;

  // Starts a new body coded by codings, in the order they were applied (at
  // most kMostContentCodings of them). No coding at all decodes nothing:
  // every Feed then fails.
  void Begin(const std::vector<ContentCoding>& codings);
  // As CInflater::Feed, through every coding; a failure is the result of
  // the decoder it came from.
  InflateResult Feed(const char* data, size_t length, BodyWriter write, void* param);
  // As CInflater::Finish: every coding ended where its format lets it end.
  InflateResult Finish();

 private:
  struct Link {
    CInflateChain* m_Chain;
    // The decoder this link feeds; m_Count for the caller's writer.
    size_t m_Next;
  };
  static int PassOn(void* param, const char* data, size_t length);
  InflateResult Failure() const;

  CInflater m_Stages[kMostContentCodings];
  Link m_Links[kMostContentCodings + 1];
  // How many of m_Stages this body uses; m_Stages[0] undoes the last coding
  // applied.
  size_t m_Count;
  BodyWriter m_Write;
  void* m_Param;
};

#endif
