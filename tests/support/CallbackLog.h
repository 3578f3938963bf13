// For tests that drive a client: the network started once, and a log of the
// engine's callbacks.
#ifndef ZELVORA_TESTS_SUPPORT_CALLBACKLOG_H
#define ZELVORA_TESTS_SUPPORT_CALLBACKLOG_H

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "engine/Network.h"

// The socket library must run (SIGPIPE off) before any client talks.
inline void StartNetworkOnce() {
  static int started = InitNetwork();
  (void)started;
}

// Every callback as one line of text, in the order they came.
struct CallbackLog {
  std::vector<std::string> m_Events;
  std::string m_Head;
  std::string m_Data;
  CHttpClient* m_LastClient = nullptr;

  static void OnHead(CHttpClient* client, const char* head, void* param) {
    CallbackLog* log = static_cast<CallbackLog*>(param);
    log->m_LastClient = client;
    log->m_Head = head ? head : "";
    log->m_Events.push_back("head");
  }
  static void OnData(CHttpClient* client, const char* data, int length, void* param) {
    CallbackLog* log = static_cast<CallbackLog*>(param);
    log->m_LastClient = client;
    log->m_Data.append(data, static_cast<size_t>(length));
    log->m_Events.push_back("data " + std::to_string(length));
  }
  static void OnProgress(CHttpClient* client, uint64_t total, uint64_t done, void* param) {
    CallbackLog* log = static_cast<CallbackLog*>(param);
    log->m_LastClient = client;
    char text[64];
    snprintf(text, sizeof(text), "progress %" PRIu64 "/%" PRIu64, done, total);
    log->m_Events.push_back(text);
  }

  void Attach(CHttpClient& client) {
    client.m_HeadCallback = OnHead;
    client.m_DataCallback = OnData;
    client.m_ProgressCallback = OnProgress;
    client.m_CallbackParam = this;
  }
};

#endif
