// Response reading end to end, the server's bytes played through the fake
// socket layer. Input: a mode byte, a count of piece sizes and the sizes,
// then the bytes the server sends.
//   mode & 3: 0 ReadResponse into memory, 1 ReadResponse into a file,
//             2 Request, 3 Download
//   mode & 4: a HEAD request (for the direct reads)
//   mode & 8: the connection times out instead of closing at the end
//   mode & 16: Download resumes a file that already holds bytes
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "fakesocket/FakeSocket.h"
#include "FuzzInput.h"
#include "engine/HttpClient.h"
#include "platform/FileSystem.h"

namespace {

std::string g_OutputPath;
const char kOldBytes[] = "old bytes of an earlier download";

struct CallbackTotals {
  size_t m_Heads;
  size_t m_Data;
  uint64_t m_LastDone;
};

void OnHead(CHttpClient* client, const char* headText, void* param) {
  (void)client;
  FUZZ_CHECK(headText != nullptr);
  TouchBytes(headText, strlen(headText));
  static_cast<CallbackTotals*>(param)->m_Heads++;
}

void OnData(CHttpClient* client, const char* data, int length, void* param) {
  (void)client;
  FUZZ_CHECK(length >= 0);
  TouchBytes(data, static_cast<size_t>(length));
  static_cast<CallbackTotals*>(param)->m_Data += static_cast<size_t>(length);
}

void OnProgress(CHttpClient* client, uint64_t total, uint64_t done, void* param) {
  (void)client;
  (void)total;
  static_cast<CallbackTotals*>(param)->m_LastDone = done;
}

std::string ReadFile(const std::string& path, int* exists) {
  std::string content;
  *exists = 0;
  FileHandle file = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
  if (!file) return content;
  *exists = 1;
  char* block = nullptr;
  uint32_t size = 0;
  FUZZ_CHECK(FileReadWhole(file, UINT32_MAX, &block, &size));
  content.assign(block == nullptr ? "" : block, size);
  free(block);
  FileClose(file);
  return content;
}

void WriteFile(const std::string& path, const char* data, size_t length) {
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  FUZZ_CHECK(file != NULL);
  FUZZ_CHECK(FileWrite(file, data, static_cast<uint32_t>(length), NULL));
  FileClose(file);
}

// Nothing of one run may be left for the next.
void RemoveOutputs() {
  FileDelete(g_OutputPath.c_str());
  FileDelete((g_OutputPath + "_zelvor.part").c_str());
}

struct ReadOutcome {
  int m_Ok;
  int m_Status;
  std::string m_Body;
};

ReadOutcome CheckReadResponse(CHttpClient& client, int toFile, size_t served, CallbackTotals& totals) {
  ReadOutcome outcome = {0, 0, std::string()};
  if (toFile) {
    client.m_OutputFile = FileOpen(g_OutputPath.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
    FUZZ_CHECK(client.m_OutputFile != NULL);
  }
  outcome.m_Ok = client.ReadResponse();
  FUZZ_CHECK(totals.m_Heads <= 1);
  FUZZ_CHECK(totals.m_Data <= served);
  FUZZ_CHECK(totals.m_LastDone <= served);
  if (!outcome.m_Ok) return outcome;
  FUZZ_CHECK(totals.m_Heads == 1);
  outcome.m_Status = client.m_StatusCode;

  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  TouchBytes(body, length);
  FUZZ_CHECK(length <= served);
  // A HEAD response has no body; what follows its head is whatever the
  // receives happened to carry, so it is not compared.
  if (client.m_Method == HTTP_METHOD_HEAD) return outcome;
  outcome.m_Body.assign(body, length);
  // A body framed by its length ends exactly there, in memory or in the file.
  const int fileKept = client.m_OutputFile != NULL;
  if (!client.m_Chunked && !fileKept) FUZZ_CHECK(length == client.m_ContentLength);
  if (fileKept) {
    FileClose(client.m_OutputFile);
    client.m_OutputFile = NULL;
    int exists = 0;
    const std::string content = ReadFile(g_OutputPath, &exists);
    FUZZ_CHECK(exists);
    FUZZ_CHECK(content.size() <= served);
    if (!client.m_Chunked) FUZZ_CHECK(static_cast<int64_t>(content.size()) == client.m_ContentLength);
    // A chunked body reaches the file framed, whole blocks at a time (the
    // download rewrites it afterwards), so only its decoded form is compared.
    if (!client.m_Chunked) outcome.m_Body = content;
  }
  return outcome;
}

// One direct read with a fresh client.
ReadOutcome ReadOnce(uint8_t mode, const uint8_t* served, size_t servedSize, const uint8_t* pieces,
                     size_t pieceCount) {
  FakeSocketServe(served, servedSize, pieces, pieceCount, (mode & 8) ? 1 : 0);
  RemoveOutputs();
  CallbackTotals totals = {0, 0, 0};
  CHttpClient client;
  FUZZ_CHECK(client.m_StreamsReady);
  client.m_HeadCallback = OnHead;
  client.m_DataCallback = OnData;
  client.m_ProgressCallback = OnProgress;
  client.m_CallbackParam = &totals;
  client.m_Socket = SocketCreateTcp();
  client.m_Method = (mode & 4) ? HTTP_METHOD_HEAD : HTTP_METHOD_GET;
  return CheckReadResponse(client, mode & 1, servedSize, totals);
}

void CheckDownload(CHttpClient& client, int resume, size_t served) {
  (void)served;
  if (resume) WriteFile(g_OutputPath, kOldBytes, sizeof(kOldBytes) - 1);
  std::string response;
  const int ok = client.Download("http://fuzz.test/file", g_OutputPath.c_str(), response, NULL, 0, 0);
  int exists = 0;
  const std::string content = ReadFile(g_OutputPath, &exists);
  if (!ok || !client.IsSuccess()) {
    // A failed or refused download leaves the path as it found it.
    if (resume) {
      FUZZ_CHECK(exists && content == kOldBytes);
    } else {
      FUZZ_CHECK(!exists);
    }
  } else if (resume && client.m_StatusCode == 206) {
    FUZZ_CHECK(content.compare(0, sizeof(kOldBytes) - 1, kOldBytes) == 0);
  }
  // The side file of a whole-body answer never stays behind.
  int sideExists = 0;
  ReadFile(g_OutputPath + "_zelvor.part", &sideExists);
  FUZZ_CHECK(!sideExists);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  const char* dir = getenv("TMPDIR");
  std::string base = (dir && *dir) ? dir : "/tmp";
  char suffix[64];
  snprintf(suffix, sizeof(suffix), "/zelvora-fuzz-%d.out", static_cast<int>(getpid()));
  g_OutputPath = base + suffix;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t mode = input.TakeByte();
  size_t pieceCount = 0;
  const uint8_t* pieces = input.TakeBytes(input.TakeByte() % 8, &pieceCount);
  size_t servedSize = 0;
  const uint8_t* served = input.Rest(&servedSize);

  if ((mode & 3) < 2) {
    const ReadOutcome cut = ReadOnce(mode, served, servedSize, pieces, pieceCount);
    // How the bytes are cut into receives must not change what is read (a
    // head longer than its limit may; inputs that long are not judged).
    if (servedSize <= 8192) {
      const ReadOutcome whole = ReadOnce(mode, served, servedSize, nullptr, 0);
      FUZZ_CHECK(cut.m_Ok == whole.m_Ok);
      FUZZ_CHECK(cut.m_Status == whole.m_Status);
      FUZZ_CHECK(cut.m_Body == whole.m_Body);
    }
    RemoveOutputs();
    return 0;
  }

  FakeSocketServe(served, servedSize, pieces, pieceCount, (mode & 8) ? 1 : 0);
  RemoveOutputs();
  CallbackTotals totals = {0, 0, 0};
  {
    CHttpClient client;
    if (!client.m_StreamsReady) return 0;
    client.m_HeadCallback = OnHead;
    client.m_DataCallback = OnData;
    client.m_ProgressCallback = OnProgress;
    client.m_CallbackParam = &totals;

    if ((mode & 3) == 2) {
      // Two requests on one client: a kept connection carries the second
      // response in the bytes left after the first.
      for (int i = 0; i < 2; ++i) {
        std::string response;
        const int ok = client.Request(HTTP_METHOD_GET, "http://fuzz.test/", response, NULL, 0);
        FUZZ_CHECK(totals.m_Data <= servedSize);
        if (ok) FUZZ_CHECK(response.size() <= servedSize);
        if (!ok) break;
      }
    } else {
      CheckDownload(client, (mode & 16) ? 1 : 0, servedSize);
    }
  }
  RemoveOutputs();
  return 0;
}
