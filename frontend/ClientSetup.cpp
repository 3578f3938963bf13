#include "frontend/ClientSetup.h"

#include "engine/HttpClient.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"

void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd, CBodyDecoder* decoder,
                 CEarlierFile* earlier) {
  client.m_BodyDecoder = decoder;
  client.m_EarlierFile = earlier;
  client.m_HeadCallback = OnResponseHead;
  client.m_DataCallback = OnResponseData;
  client.m_ProgressCallback = OnProgress;
  client.m_CallbackParam = &cmd;
  client.m_RequestHeaders.clear();
  for (HeaderMap::const_iterator it = cmd.m_RequestHeaders.begin();
       it != cmd.m_RequestHeaders.end(); ++it) {
    client.AddHeader(it->first, it->second);
  }
}
