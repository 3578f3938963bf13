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

int CDownloadDecoder::Decode(const char* data, size_t length, BodyWriter write, void* param) {
  if (m_Inflaters.Feed(data, length, write, param) == INFLATE_OK) return 1;
  m_Failed = 1;
  return 0;
}

int CDownloadDecoder::End() {
  if (m_Inflaters.Finish() == INFLATE_OK) return 1;
  m_Failed = 1;
  return 0;
}
