// The program against a real nginx on a loopback port: large files, Range
// resume, gzip, a batch over one connection, and name-based TLS certificates.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "interop/NginxServer.h"
#include "interop/Sha256.h"
#include "support/BodyCoding.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

namespace {

std::string RandomBytes(size_t size, unsigned seed) {
  std::string out(size, '\0');
  unsigned long long state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    out[i] = (char)(state >> 56);
  }
  return out;
}

std::string Text(size_t size) {
  static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
  std::string out;
  unsigned state = 3;
  while (out.size() < size) {
    state = state * 1103515245u + 12345u;
    out += words[(state >> 16) % 6];
  }
  out.resize(size);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char kPlainServer[] =
    "server {\n"
    "  listen 127.0.0.1:@PORT@;\n"
    "  root @ROOT@;\n"
    "  types { text/plain txt; }\n"
    "  gzip on;\n"
    "  gzip_types text/plain;\n"
    "  gzip_min_length 1;\n"
    "}\n";

class Nginx : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveNginx()) GTEST_SKIP() << kNginxPath << " is missing";
  }
  void StartPlain() { ASSERT_EQ(1, m_Nginx.Start(kPlainServer)) << m_Nginx.ErrorLog(); }
  CProgramResult Run(const CProgramSandbox& sandbox, const std::vector<std::string>& args) {
    CProgramResult run = sandbox.Run(args, "", 60000);
    EXPECT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    EXPECT_EQ(0, run.m_Signal) << run.m_Err;
    return run;
  }
  std::string Head(const std::string& out) { return out.substr(0, out.find("\r\n\r\n") + 4); }
  CNginxServer m_Nginx;
};

TEST_F(Nginx, LargeFileToDiskArrivesWhole) {
  const std::string big = RandomBytes(24 * 1024 * 1024 + 123, 7);
  TempDir::WriteFile(m_Nginx.Root() + "/big.bin", big);
  StartPlain();
  CProgramSandbox sandbox(ZELVORA_EXE);
  CProgramResult run = Run(sandbox, {m_Nginx.Url("/big.bin"), "-o", "big.bin"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("HTTP/1.1 200 OK\r\n"));
  EXPECT_NE(std::string::npos, run.m_Out.find("Content-Length: " + std::to_string(big.size()) + "\r\n"));
  const std::string tail = "\r\n\r\nDownload: " + sandbox.File("big.bin") + "\r\n";
  EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - std::min(run.m_Out.size(), tail.size())));
  EXPECT_EQ(Sha256Hex(big), Sha256Hex(sandbox.ReadFile("big.bin")));
}

TEST_F(Nginx, AppendResumesWithRangeAndKeepsACompleteFileOn416) {
  const std::string data = RandomBytes(1000000, 11);
  TempDir::WriteFile(m_Nginx.Root() + "/data.bin", data);
  StartPlain();
  CProgramSandbox sandbox(ZELVORA_EXE);
  sandbox.WriteFile("data.bin", data.substr(0, 300001));
  CProgramResult run = Run(sandbox, {m_Nginx.Url("/data.bin"), "-o", "data.bin", "-append"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("HTTP/1.1 206 Partial Content\r\n")) << run.m_Out;
  EXPECT_NE(std::string::npos, run.m_Out.find("Content-Range: bytes 300001-999999/1000000\r\n"));
  EXPECT_EQ(Sha256Hex(data), Sha256Hex(sandbox.ReadFile("data.bin")));

  // Nothing is left to fetch: nginx answers 416 and the file stays whole.
  run = Run(sandbox, {m_Nginx.Url("/data.bin"), "-o", "data.bin", "-append"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("HTTP/1.1 416 Requested Range Not Satisfiable\r\n")) << run.m_Out;
  EXPECT_EQ(std::string::npos, run.m_Out.find("Download: "));
  EXPECT_EQ(Sha256Hex(data), Sha256Hex(sandbox.ReadFile("data.bin")));
  EXPECT_EQ((std::vector<std::string>{"data.bin", "zelvora"}), sandbox.Files());
  EXPECT_NE(std::string::npos, m_Nginx.AccessLog().find(" 206 /data.bin"));
  EXPECT_NE(std::string::npos, m_Nginx.AccessLog().find(" 416 /data.bin"));
}

TEST_F(Nginx, GzipChunkedBodiesAreDecodedOrKeptAsAsked) {
  const std::string text = Text(300000);
  TempDir::WriteFile(m_Nginx.Root() + "/words.txt", text);
  StartPlain();
  CProgramSandbox sandbox(ZELVORA_EXE);

  CProgramResult run = Run(sandbox, {m_Nginx.Url("/words.txt")});
  EXPECT_EQ(1, run.m_ExitCode);
  std::string head = Head(run.m_Out);
  EXPECT_NE(std::string::npos, head.find("\r\nContent-Encoding: gzip\r\n")) << head;
  EXPECT_NE(std::string::npos, head.find("\r\nTransfer-Encoding: chunked\r\n")) << head;
  EXPECT_TRUE(run.m_Out.substr(head.size()) == text);

  run = Run(sandbox, {m_Nginx.Url("/words.txt"), "-o", "words.txt"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_TRUE(sandbox.ReadFile("words.txt") == text);

  run = Run(sandbox, {m_Nginx.Url("/words.txt"), "-o", "words.txt", "-compress"});
  EXPECT_EQ(1, run.m_ExitCode);
  EXPECT_NE(std::string::npos, run.m_Out.find("Download: " + sandbox.File("words.txt.gzip")));
  std::string gz = sandbox.ReadFile("words.txt.gzip");
  EXPECT_LT(gz.size(), text.size() / 2);
  std::string plain;
  EXPECT_TRUE(Inflate(gz, 31, &plain));
  EXPECT_TRUE(plain == text);
}

TEST_F(Nginx, BatchOfFiftyFilesTravelsOverOneConnection) {
  ASSERT_EQ(0, mkdir((m_Nginx.Root() + "/many").c_str(), 0755));
  for (int i = 0; i < 50; ++i) {
    char name[16];
    snprintf(name, sizeof(name), "f%02d", i);
    TempDir::WriteFile(m_Nginx.Root() + "/many/" + name, "file " + std::string(name) + "\n");
  }
  StartPlain();
  CProgramSandbox sandbox(ZELVORA_EXE);
  const std::string dir = sandbox.File("got");
  CProgramResult run = Run(sandbox, {m_Nginx.Url("/many/f[00-49]"), "-O", "-p", dir});
  EXPECT_EQ(1, run.m_ExitCode);
  std::string expected;
  for (int i = 0; i < 50; ++i) {
    char name[16];
    snprintf(name, sizeof(name), "f%02d", i);
    expected += "Download \"" + std::string(name) + "\"......ok\r\n";
    EXPECT_EQ("file " + std::string(name) + "\n", TempDir::ReadFile(dir + "/" + name));
  }
  EXPECT_EQ(expected, run.m_Out);
  // nginx's connection serial is the first field of every log line.
  std::vector<std::string> lines = Lines(m_Nginx.AccessLog());
  ASSERT_EQ(50u, lines.size()) << m_Nginx.AccessLog();
  std::string serial = lines[0].substr(0, lines[0].find(' '));
  for (const std::string& line : lines) {
    EXPECT_EQ(serial + " 200 ", line.substr(0, serial.size() + 5)) << line;
  }
}

class NginxTls : public Nginx {
 protected:
  // A key and a self-signed certificate for `name`, made with the openssl
  // command; returns the path stem (".crt", ".key").
  std::string MakeCertificate(const std::string& name) {
    std::string stem = m_Nginx.Dir() + "/" + name;
    std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
                          "-days 1 -subj /CN=" + name + " -keyout " + stem + ".key -out " + stem +
                          ".crt >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(command.c_str()));
    return stem;
  }
  // A TLS server block for `name` answering with its own text.
  std::string Site(const std::string& name) {
    std::string stem = MakeCertificate(name);
    return "server {\n  listen 127.0.0.1:@PORT@ ssl;\n  server_name " + name +
           ";\n  ssl_certificate " + stem + ".crt;\n  ssl_certificate_key " + stem +
           ".key;\n  location / { default_type text/plain; return 200 \"site " + name +
           "\\n\"; }\n}\n";
  }
  // The default server refuses every handshake, so only a name that one of
  // the sites carries gets a certificate at all.
  const std::string m_Refuser =
      "server {\n  listen 127.0.0.1:@PORT@ ssl default_server;\n  ssl_reject_handshake on;\n}\n";
};

TEST_F(NginxTls, TwoNamesOnOnePortEachGetTheirOwnCertificate) {
  ASSERT_EQ(1, m_Nginx.Start(m_Refuser + Site("localhost") + Site("127.0.0.1"))) << m_Nginx.ErrorLog();
  CProgramSandbox sandbox(ZELVORA_EXE);
  const std::string port = std::to_string(m_Nginx.Port());
  const std::string names[] = {"localhost", "127.0.0.1"};
  for (const std::string& name : names) {
    CProgramResult run = Run(sandbox, {name + ":" + port + "/", "-ssl"});
    EXPECT_EQ(1, run.m_ExitCode) << run.m_Out;
    EXPECT_EQ(0u, run.m_Out.find("HTTP/1.1 200 OK\r\n")) << run.m_Out;
    const std::string body = "\r\n\r\nsite " + name + "\n";
    EXPECT_EQ(body, run.m_Out.substr(run.m_Out.size() - std::min(body.size(), run.m_Out.size())));
  }
  std::vector<std::string> lines = Lines(m_Nginx.AccessLog());
  ASSERT_EQ(2u, lines.size()) << m_Nginx.AccessLog();
  EXPECT_EQ(" 200 / localhost", lines[0].substr(lines[0].find(' ')));
  EXPECT_EQ(" 200 / 127.0.0.1", lines[1].substr(lines[1].find(' ')));
}

TEST_F(NginxTls, NameWithoutASiteIsRefused) {
  ASSERT_EQ(1, m_Nginx.Start(m_Refuser + Site("localhost"))) << m_Nginx.ErrorLog();
  CProgramSandbox sandbox(ZELVORA_EXE);
  CProgramResult run = Run(sandbox, {"https://127.0.0.1:" + std::to_string(m_Nginx.Port()) + "/"});
  EXPECT_EQ(0, run.m_ExitCode);
  EXPECT_EQ(0u, run.m_Out.find("SSL: ")) << run.m_Out;
  const std::string tail = "Error: HTTP Session failed, Unknown failed: maybe system error.";
  EXPECT_EQ(tail, run.m_Out.substr(run.m_Out.size() - std::min(tail.size(), run.m_Out.size())));
}

}  // namespace
