#include "support/ServerScript.h"

#include <algorithm>
#include <utility>

CExchange& CExchange::ReadRequest() {
  m_ReadMode = READ_REQUEST;
  return *this;
}

CExchange& CExchange::ReadHeadOnly() {
  m_ReadMode = READ_HEAD;
  return *this;
}

CExchange& CExchange::ReadBytes(size_t count) {
  m_ReadMode = READ_BYTES;
  m_ReadCount = count;
  return *this;
}

CExchange& CExchange::ReadUntilClose() {
  m_ReadMode = READ_UNTIL_CLOSE;
  return *this;
}

CExchange& CExchange::ReadNothing() {
  m_ReadMode = READ_NOTHING;
  return *this;
}

CExchange& CExchange::Send(const std::string& bytes) {
  m_Actions.push_back({SERVER_ACTION_SEND, bytes, 0});
  return *this;
}

CExchange& CExchange::SendRepeated(const std::string& bytes, size_t times) {
  m_Actions.push_back({SERVER_ACTION_SEND, bytes, 0, times});
  return *this;
}

CExchange& CExchange::SendInPieces(const std::string& bytes, size_t pieceSize, int ms) {
  if (pieceSize == 0) pieceSize = 1;
  for (size_t at = 0; at < bytes.size(); at += pieceSize) {
    if (at > 0) Pause(ms);
    Send(bytes.substr(at, pieceSize));
  }
  return *this;
}

CExchange& CExchange::Pause(int ms) {
  m_Actions.push_back({SERVER_ACTION_PAUSE, std::string(), ms});
  return *this;
}

CExchange& CExchange::Close() {
  m_Actions.push_back({SERVER_ACTION_CLOSE, std::string(), 0});
  return *this;
}

CExchange& CExchange::CloseWithoutNotify() {
  m_Actions.push_back({SERVER_ACTION_CLOSE_NO_NOTIFY, std::string(), 0});
  return *this;
}

CExchange& CExchange::Reset() {
  m_Actions.push_back({SERVER_ACTION_RESET, std::string(), 0});
  return *this;
}

CExchange& CExchange::Hold() {
  m_Actions.push_back({SERVER_ACTION_HOLD, std::string(), 0});
  return *this;
}

CExchange& CExchange::Flush() {
  m_Actions.push_back({SERVER_ACTION_FLUSH, std::string(), 0});
  return *this;
}

CExchange& CExchange::ShutdownWrite() {
  m_Actions.push_back({SERVER_ACTION_SHUTDOWN_WRITE, std::string(), 0});
  return *this;
}

bool CExchange::EndsConnection() const {
  return std::any_of(m_Actions.begin(), m_Actions.end(), [](const CServerAction& action) {
    return action.m_Kind == SERVER_ACTION_CLOSE || action.m_Kind == SERVER_ACTION_CLOSE_NO_NOTIFY ||
           action.m_Kind == SERVER_ACTION_RESET;
  });
}

CServerScript::CServerScript(std::initializer_list<CConnectionScript> connections)
    : m_Connections(connections) {}

CServerScript::CServerScript(std::vector<CConnectionScript> connections)
    : m_Connections(std::move(connections)) {}

CServerScript CServerScript::OneReply(const std::string& reply) {
  return CServerScript({CConnectionScript{Exchange().Reply(reply)}});
}

CServerScript CServerScript::Always(const CExchange& each) {
  CServerScript script;
  script.m_Repeat = true;
  script.m_Each = each;
  return script;
}

CServerScript CServerScript::AlwaysReply(const std::string& reply) {
  return Always(Exchange().Reply(reply));
}

CServerScript CServerScript::Computed(CResponder responder) {
  CServerScript script;
  script.m_Repeat = true;
  script.m_Responder = std::move(responder);
  return script;
}

CServerScript CServerScript::ComputedReply(CReplyMaker maker) {
  return Computed([maker](const std::string& request) { return Exchange().Reply(maker(request)); });
}

CServerScript& CServerScript::IoLimit(int ms) {
  m_IoLimitMs = ms;
  return *this;
}
