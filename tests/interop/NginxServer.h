// An nginx of the test's own on a free loopback port: the configuration is
// written into a fresh directory, nginx runs in the foreground as a child of
// the test, and it is stopped by its process id.
#ifndef ZELVORA_TESTS_INTEROP_NGINXSERVER_H
#define ZELVORA_TESTS_INTEROP_NGINXSERVER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "interop/ServerProcess.h"
#include "support/TempDir.h"

extern char** environ;

const char kNginxPath[] = "/usr/sbin/nginx";

inline bool HaveNginx() { return access(kNginxPath, X_OK) == 0; }

inline void ReplaceEvery(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

class CNginxServer {
 public:
  CNginxServer() { mkdir(Root().c_str(), 0755); }
  ~CNginxServer() { Stop(); }
  CNginxServer(const CNginxServer&) = delete;
  CNginxServer& operator=(const CNginxServer&) = delete;

  // Starts nginx with `servers` as the server blocks of its http block; in
  // that text every "@PORT@" becomes the port, "@ROOT@" the document root and
  // "@DIR@" the server's directory. Returns 1 once nginx accepts connections.
  int Start(const std::string& servers) {
    for (int attempt = 0; attempt < 3 && m_Pid < 0; ++attempt) {
      m_Port = FindFreePort();
      if (m_Port == 0) continue;
      std::string conf =
          "daemon off;\n"
          "master_process off;\n"
          "worker_processes 1;\n"
          "pid @DIR@/nginx.pid;\n"
          "error_log @DIR@/error.log;\n"
          "events { worker_connections 256; }\n"
          "http {\n"
          "  log_format conn '$connection $status $request_uri $ssl_server_name';\n"
          "  access_log @DIR@/access.log conn;\n"
          "  client_body_temp_path @DIR@/tmp;\n"
          "  proxy_temp_path @DIR@/tmp;\n"
          "  fastcgi_temp_path @DIR@/tmp;\n"
          "  uwsgi_temp_path @DIR@/tmp;\n"
          "  scgi_temp_path @DIR@/tmp;\n"
          "  default_type application/octet-stream;\n"
          "  keepalive_requests 1000;\n" +
          servers + "}\n";
      ReplaceEvery(conf, "@PORT@", std::to_string(m_Port));
      ReplaceEvery(conf, "@ROOT@", Root());
      ReplaceEvery(conf, "@DIR@", Dir());
      mkdir(m_Dir.File("tmp").c_str(), 0755);
      TempDir::WriteFile(m_Dir.File("nginx.conf"), conf);
      std::string confPath = m_Dir.File("nginx.conf");
      std::string prefix = Dir() + "/";
      const char* argv[] = {kNginxPath, "-p", prefix.c_str(), "-c", confPath.c_str(), nullptr};
      pid_t pid;
      if (posix_spawn(&pid, kNginxPath, nullptr, nullptr, (char**)argv, environ) != 0) return 0;
      m_Pid = pid;
      // Up to five seconds for the listener; a port taken meanwhile makes
      // nginx exit, and another port is tried.
      if (WaitForListener(&m_Pid, m_Port, 500)) return 1;
    }
    return 0;
  }

  void Stop() { StopServerProcess(&m_Pid, 300); }

  unsigned short Port() const { return m_Port; }
  std::string Root() const { return m_Dir.File("www"); }
  const std::string& Dir() const { return m_Dir.Path(); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_Port) + path;
  }
  // One line per request: "$connection $status $request_uri $ssl_server_name"
  // ("" for the last without TLS).
  std::string AccessLog() const { return TempDir::ReadFile(m_Dir.File("access.log")); }
  std::string ErrorLog() const { return TempDir::ReadFile(m_Dir.File("error.log")); }

 private:
  TempDir m_Dir;
  unsigned short m_Port = 0;
  int m_Pid = -1;
};

#endif
