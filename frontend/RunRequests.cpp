#include "frontend/RunRequests.h"

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/RequestData.h"

CRunRequests::CRunRequests(CHttpClient& client, const CImpBroxCmd& cmd)
    : m_PostData(NULL), m_PostLength(0), m_Client(client), m_KeepOrigin(cmd.m_Origin) {
  if (!cmd.m_BatchUrls.empty()) client.AddHeader("Connection", "Keep-Alive");
  GetPostData(cmd, &m_PostData, &m_PostLength);
}

int CRunRequests::Download(const std::string& url, const std::string& path) {
  return m_Client.Download(url.c_str(), path.c_str(), m_Response, m_PostData, m_PostLength,
                           m_KeepOrigin);
}
