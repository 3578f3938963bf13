#include "frontend/DownloadDecoder.h"

#include <vector>

#include "frontend/ImpBroxCmd.h"

CDownloadDecoder::CDownloadDecoder(const CImpBroxCmd& cmd) : m_Cmd(cmd), m_Failed(0) {}

int CDownloadDecoder::Begin(const std::vector<ContentCoding>& codings) {
  m_Failed = 0;
  // -compress stores the body as it came (-origin never gets here).
  if (m_Cmd.m_Compress || codings.empty()) return 0;
  m_Inflaters.Begin(codings);
  return 1;
}

// A write that failed is the output's fault, not the body's: the writer has
// said why, and the body is not held to be undecodable for it.
int CDownloadDecoder::Judge(InflateResult result) {
  if (result == INFLATE_OK) return 1;
  if (result != INFLATE_WRITE_FAILED) m_Failed = 1;
  return 0;
}

int CDownloadDecoder::Decode(const char* data, size_t length, BodyWriter write, void* param) {
  return Judge(m_Inflaters.Feed(data, length, write, param));
}

int CDownloadDecoder::End() { return Judge(m_Inflaters.Finish()); }
