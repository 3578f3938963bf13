// Output naming from what a response head and the URL say. Input: a flags
// byte, then newline-separated fields: Content-Type value, Content-Disposition
// value, URL, Content-Encoding value.
//   flags & 1: -origin   flags & 2: -compress
//   flags & 4: -o names an existing directory
//   flags & 8: the head fields arrive twice (a batch run carries them over)
//   flags & 16: the rest is a whole response head instead, taken in by the
//     front end's head callback as a response would be
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "FuzzInput.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "engine/Url.h"
#include "frontend/EngineCallbacks.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputNaming.h"

namespace {

std::string g_ModuleDir;
std::string g_OutputDir;

int HasControlByte(const std::string& text) {
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return 1;
  }
  return 0;
}

// Checks the path made from what cmd holds now.
void CheckOutputPath(CImpBroxCmd& cmd, int intoOutputDir) {
  std::string pathFile;
  FUZZ_CHECK(cmd.GetOutputPathFile(pathFile) == 1);
  const std::string& dir = intoOutputDir ? g_OutputDir : g_ModuleDir;
  // One file name right inside the target directory.
  FUZZ_CHECK(pathFile.compare(0, dir.size() + 1, dir + "/") == 0);
  const std::string name = pathFile.substr(dir.size() + 1);
  FUZZ_CHECK(!name.empty());
  FUZZ_CHECK(name.find('/') == std::string::npos);
  FUZZ_CHECK(name != "." && name != "..");
  FUZZ_CHECK(!HasControlByte(pathFile));

  // The same fields give the same path.
  std::string again;
  FUZZ_CHECK(cmd.GetOutputPathFile(again) == 1);
  FUZZ_CHECK(again == pathFile);
}

// A whole head through the head callback, as a batch run sees it (a batch
// run prints no heads, so nothing reaches the console).
void CheckHeadCallback(uint8_t flags, const std::string& head) {
  CImpBroxCmd cmd;
  cmd.m_ArgParse.m_ModuleDir = g_ModuleDir;
  cmd.m_OutputToFile = 1;
  cmd.m_Origin = flags & 1;
  cmd.m_Compress = (flags >> 1) & 1;
  if (flags & 4) cmd.m_OutputPath = g_OutputDir;
  cmd.m_Host = "fuzz.test";
  cmd.m_Path = "/dl/file";
  cmd.m_BatchUrls.push_back("http://fuzz.test:80/dl/file");

  CHttpClient client;
  std::string version, status, reason;
  if (!ParseResponseHead(head.c_str(), version, status, reason, client.m_ResponseHeaders)) return;
  GetHeaderValue("Content-Encoding", client.m_ContentEncoding, client.m_ResponseHeaders);
  const int rounds = (flags & 8) ? 2 : 1;
  for (int i = 0; i < rounds; ++i) OnResponseHead(&client, head.c_str(), &cmd);
  CheckOutputPath(cmd, flags & 4);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string((tmp && *tmp) ? tmp : "/tmp") + "/zelvora-naming-XXXXXX";
  char* made = mkdtemp(&pattern[0]);
  if (!made) abort();
  g_ModuleDir = made;
  g_OutputDir = g_ModuleDir + "/out";
  if (mkdir(g_OutputDir.c_str(), 0700) != 0) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t flags = input.TakeByte();
  if (flags & 16) {
    CheckHeadCallback(flags, input.TakeRest().c_str());
    return 0;
  }
  // Header values and the URL are C strings.
  const std::string contentType = input.TakeField('\n').c_str();
  const std::string disposition = input.TakeField('\n').c_str();
  // The URL is the user's own text: its control bytes are the user's choice
  // (host and segment are used as written), so only the head fields may
  // bring them here.
  std::string url = input.TakeField('\n').c_str();
  for (char& c : url) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = 'x';
  }
  const std::string encoding = input.TakeField('\n').c_str();

  CImpBroxCmd cmd;
  cmd.m_ArgParse.m_ModuleDir = g_ModuleDir;
  cmd.m_OutputToFile = 1;
  cmd.m_Origin = flags & 1;
  cmd.m_Compress = (flags >> 1) & 1;
  if (flags & 4) cmd.m_OutputPath = g_OutputDir;
  std::string scheme;
  if (!ParseUrl(url.c_str(), scheme, &cmd.m_Host, &cmd.m_Path, &cmd.m_Port, nullptr)) {
    cmd.m_Host = "fuzz.test";
    cmd.m_Path = "/";
  }
  const int rounds = (flags & 8) ? 2 : 1;
  for (int i = 0; i < rounds; ++i) {
    FUZZ_CHECK(ParseContentType(contentType.c_str(), cmd) == 1);
    FUZZ_CHECK(ParseContentDisposition(disposition.c_str(), cmd) == 1);
  }
  static CHttpClient answer;
  answer.m_ContentEncoding = encoding;
  cmd.m_Answer = &answer;

  CheckOutputPath(cmd, flags & 4);
  return 0;
}
