// Decoding a downloaded body on its way to the file, as it arrives: the
// front end's decoder for the engine's downloads.
#ifndef ZELVORA_FRONTEND_DOWNLOADDECODER_H
#define ZELVORA_FRONTEND_DOWNLOADDECODER_H

#include <cstddef>
#include <vector>

#include "engine/BodyDecoder.h"
#include "frontend/Inflater.h"

class CImpBroxCmd;

class CDownloadDecoder : public CBodyDecoder {
 public:
  // cmd must outlive the decoder; its options are read at every Begin.
  explicit CDownloadDecoder(const CImpBroxCmd& cmd);

  // 1 for every body the client offers (its codings all undone in turn),
  // unless -compress keeps the bytes as received. Under -origin the client
  // never asks (keepOrigin).
  int Begin(const std::vector<ContentCoding>& codings) override;
  int Decode(const char* data, size_t length, BodyWriter write, void* param) override;
  int End() override;
  // 1 when the body did not decode; 0 when only a write of its decoded
  // bytes failed.
  int Failed() const override { return m_Failed; }

 private:
  // 1 for INFLATE_OK; else 0, the body marked failed unless a write failed.
  int Judge(InflateResult result);

  const CImpBroxCmd& m_Cmd;
  CInflateChain m_Inflaters;
  int m_Failed;
};

#endif
