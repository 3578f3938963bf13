// Helpers shared by the request and download tests: a log of the engine's
// callbacks and a capture of what the process writes to standard output.
#ifndef ZELVORA_TESTS_TRANSFER_TRANSFERTESTUTIL_H
#define ZELVORA_TESTS_TRANSFER_TRANSFERTESTUTIL_H

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
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

// Redirects standard output into a temporary file for its lifetime; Text()
// gives what was written so far.
class StdoutCapture {
 public:
  StdoutCapture() {
    char name[] = "/tmp/zelvora-stdout-XXXXXX";
    m_Fd = mkstemp(name);
    m_Path = name;
    fflush(stdout);
    m_Saved = dup(STDOUT_FILENO);
    dup2(m_Fd, STDOUT_FILENO);
  }
  ~StdoutCapture() {
    Restore();
    if (m_Fd >= 0) close(m_Fd);
    unlink(m_Path.c_str());
  }
  void Restore() {
    if (m_Saved < 0) return;
    fflush(stdout);
    dup2(m_Saved, STDOUT_FILENO);
    close(m_Saved);
    m_Saved = -1;
  }
  std::string Text() {
    fflush(stdout);
    std::string text;
    FILE* file = fopen(m_Path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
  }

 private:
  int m_Fd = -1;
  int m_Saved = -1;
  std::string m_Path;
};

#endif
