#include "frontend/DownloadDecoder.h"

#include <vector>

#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"

CDownloadDecoder::CDownloadDecoder(const CImpBroxCmd& cmd) : m_Cmd(cmd), m_Failed(0) {}

int CDownloadDecoder::Begin(const CHttpClient& client) {
  m_Failed = 0;
  // -compress stores the body as it came (-origin never gets here).
  if (m_Cmd.m_Compress) return 0;
  // A resumed file holds earlier bytes in front of this part: a part alone
  // does not decode, and decoding it would lose them.
  if (client.ContinuesResumedFile()) return 0;
  std::vector<ContentCoding> codings;
  // A coding the program cannot undo keeps the body as it came.
  if (!ReadContentCodings(client.GetContentEncoding(), codings) || codings.empty()) return 0;
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
