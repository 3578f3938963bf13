// The common road of a request: URL, connection, head and body out, the
// response in, and whether the connection may carry the next request.
#include <string>

#include "engine/HttpClient.h"
#include "engine/Url.h"
#include "platform/Interrupt.h"

int CHttpClient::Request(HttpMethod method, const char* url, std::string& response,
                         const char* body, int bodyLen) {
  Reset();
  m_Method = method;
  return EndExchange(SendRequest(url, method, body, bodyLen), &response);
}

int CHttpClient::EndExchange(int read, std::string* response) {
  // After a failure what is left of the answer on the connection is unknown.
  if (!read) {
    Close();
    return 0;
  }
  if (response) CopyBodyText(*response);
  FinishResponse();
  return 1;
}

namespace {

// The exchange's side of a request body: its head lines join this request
// only, its bytes go out on the client's connection, and its progress and
// failure are the client's to report.
class CExchangeContext : public CBodyContext {
 public:
  explicit CExchangeContext(CHttpClient& client) : m_Client(client) {}
  void AddHeader(const std::string& name, const std::string& value) override {
    m_Client.m_RequestOnlyHeaders.insert(HeaderMap::value_type(name, value));
  }
  int Send(const char* data, int length) override { return m_Client.Send(data, length); }
  void Progress(uint64_t total, uint64_t done) override {
    if (m_Client.m_ProgressCallback)
      m_Client.m_ProgressCallback(&m_Client, total, done, m_Client.m_CallbackParam);
  }
  void Fail(HttpError error) override { m_Client.m_ErrorCode = error; }

 private:
  CHttpClient& m_Client;
};

// A body held in memory (none for no data or a length of 0 or less), the
// length given on the head's own Content-Length line. It can be sent again
// as it is.
class CMemoryBody : public CRequestBody {
 public:
  CMemoryBody(const char* data, int length) : m_Data(data), m_Length(length) {}
  int Prepare(CBodyContext&) override { return 1; }
  int HeadLength() const override { return m_Length; }
  int Send(CBodyContext& context) override {
    return !m_Data || m_Length <= 0 || context.Send(m_Data, m_Length);
  }

 private:
  const char* m_Data;
  int m_Length;
};

}  // namespace

int CHttpClient::SendRequest(const char* url, HttpMethod method, const char* body, int bodyLen) {
  CMemoryBody memoryBody(body, bodyLen);
  return SendRequest(url, method, memoryBody);
}

int CHttpClient::SendRequest(const char* url, HttpMethod method, CRequestBody& body) {
  // Without its stream blocks the client has nowhere to put the answer.
  if (!m_StreamsReady) {
    m_ErrorCode = HTTP_ERR_NETWORK;
    return 0;
  }
  CExchangeContext context(*this);
  if (!SplitRequestUrl(url) || !body.Prepare(context)) return 0;
  if (SendOnce(method, body, context)) return 1;
  if (!MayResend(method)) return 0;
  // A server may close a kept connection at any moment, also just as the
  // next request goes out. Nothing of the answer came, so nothing was taken
  // from it (no callback ran, no byte reached a file): the request goes
  // once more on a new connection, and fails as that one fails.
  Close();
  m_ErrorCode = HTTP_ERR_NONE;
  return SendOnce(method, body, context);
}

int CHttpClient::SendOnce(HttpMethod method, CRequestBody& body, CBodyContext& context) {
  m_Connection.BeginTry();
  if (!SendHead(method, body.HeadLength())) return 0;
  if (!body.Send(context)) return 0;
  return ReadResponse();
}

int CHttpClient::MayResend(HttpMethod method) const {
  // A POST may have taken effect before the connection went: never twice.
  if (method != HTTP_METHOD_GET && method != HTTP_METHOD_HEAD) return 0;
  return m_Connection.LostBeforeAnswer() && !InterruptRequested();
}

int CHttpClient::SplitRequestUrl(const char* url) {
  std::string scheme;
  if (!url || !ParseUrl(url, scheme, &m_Host, &m_Path, &m_Port, &m_UseTls)) {
    m_ErrorCode = HTTP_ERR_URL_FORMAT;
    return 0;
  }
  return 1;
}

int CHttpClient::SendHead(HttpMethod method, int contentLength) {
  if (!Connect()) return 0;
  std::string head;
  BuildRequestHead(head, method, contentLength);
  return Send(head.data(), static_cast<int>(head.size()));
}

void CHttpClient::FinishResponse() {
  // Redirects are not followed, and a connection whose response did not end
  // where its framing says may hold bytes of no request of ours.
  if (!m_Location.empty() || !m_KeepAlive || !m_ResponseClean) Close();
}
