// Decoding a downloaded body on its way to the file, as it arrives: the
// front end's decoder for the engine's downloads.
#ifndef ZELVORA_FRONTEND_DOWNLOADDECODER_H
#define ZELVORA_FRONTEND_DOWNLOADDECODER_H

#include <cstddef>

#include "engine/BodyDecoder.h"
#include "frontend/Inflater.h"

class CImpBroxCmd;

class CDownloadDecoder : public CBodyDecoder {
 public:
  // cmd must outlive the decoder; its options are read at every Begin.
  explicit CDownloadDecoder(const CImpBroxCmd& cmd);

  // 1 for a body whose Content-Encoding lists codings the program can undo
  // all of (ReadContentCodings), unless -compress keeps the bytes as
  // received, or the answer ContinuesResumedFile (it lands after the file's
  // old end as it came). Under -origin the client never asks (keepOrigin).
  int Begin(const CHttpClient& client) override;
  int Decode(const char* data, size_t length, BodyWriter write, void* param) override;
  int End() override;
  int Failed() const override { return m_Failed; }

 private:
  const CImpBroxCmd& m_Cmd;
  CInflateChain m_Inflaters;
  int m_Failed;
};

#endif
