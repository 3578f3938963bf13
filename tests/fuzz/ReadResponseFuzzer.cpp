// Response reading end to end, the server's bytes played through the fake
// socket layer. Input: a mode byte, a count of piece sizes and the sizes,
// then the bytes the server sends.
//   mode & 3: 0 ReadResponse into memory, 1 ReadResponse into a file,
//             2 Request, 3 Download
//   mode & 4: a HEAD request (for the direct reads)
//   mode & 8: the connection times out instead of closing at the end
//   mode & 16: Download resumes a file that already holds bytes
// Every accepted answer is checked against where the served bytes put its
// head: interim answers passed over, no head cut at a zero byte, a length
// that is a decimal number unless chunks frame the body (and then no kept
// connection beside a length), and no download stored without a length.
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "FuzzInput.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "fakesocket/FakeSocket.h"
#include "platform/CRuntime.h"
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
  FUZZ_CHECK(FileReadWhole(file, UINT32_MAX, &content));
  FileClose(file);
  return content;
}

void WriteFile(const std::string& path, const char* data, size_t length) {
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  FUZZ_CHECK(file != NULL);
  FUZZ_CHECK(FileWrite(file, data, static_cast<uint32_t>(length), NULL));
  FileClose(file);
}

// Where the served bytes put the answer's head, found without the reader:
// heads end at the first blank line after the one before, and interim
// answers (1xx but 101) are passed over. FINAL_HEAD with *head, or
// ZERO_IN_HEAD when a head up to the final one holds a zero byte, or
// NO_FINAL_HEAD.
enum HeadWalk { NO_FINAL_HEAD, FINAL_HEAD, ZERO_IN_HEAD };

HeadWalk WalkHeads(const uint8_t* served, size_t size, std::string* head) {
  const std::string text(reinterpret_cast<const char*>(served), size);
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n\r\n", start);
    if (end == std::string::npos) return NO_FINAL_HEAD;
    const std::string one = text.substr(start, end + 4 - start);
    if (one.find('\0') != std::string::npos) return ZERO_IN_HEAD;
    start = end + 4;
    if (IsInterimAnswer(one.c_str())) continue;
    *head = one;
    return FINAL_HEAD;
  }
}

// The Content-Length lines of a head, read on their own. 1 when every one
// is the same plain decimal number (blanks and tabs around it) or there is
// none, with *count lines and *length its value; else 0.
int LengthLines(const std::string& head, int* count, int64_t* length) {
  *count = 0;
  *length = 0;
  size_t start = head.find("\r\n");
  if (start == 0 || start == std::string::npos) return 1;
  for (start += 2;;) {
    const size_t end = head.find("\r\n", start);
    if (end == std::string::npos || end == start) return 1;
    const std::string line = head.substr(start, end - start);
    start = end + 2;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t nameStart = line.find_first_not_of(' ');
    const size_t nameEnd = line.find_last_not_of(' ', colon - 1);
    if (nameStart >= colon || nameEnd == std::string::npos) continue;
    const std::string name = line.substr(nameStart, nameEnd + 1 - nameStart);
    if (StrICmp(name.c_str(), "Content-Length") != 0) continue;
    const std::string value = line.substr(colon + 1);
    const size_t first = value.find_first_not_of(" \t");
    const size_t last = value.find_last_not_of(" \t");
    if (first == std::string::npos) return 0;
    int64_t number = 0;
    for (size_t i = first; i <= last; ++i) {
      if (value[i] < '0' || value[i] > '9') return 0;
      const int64_t digit = value[i] - '0';
      number = number > (INT64_MAX - digit) / 10 ? INT64_MAX : number * 10 + digit;
    }
    if (*count > 0 && number != *length) return 0;
    *length = number;
    ++*count;
  }
}

// What every answer the reader accepted must be, judged from the served
// bytes: the final head whole (no interim one, nothing cut at a zero byte),
// a length that is a decimal number unless the chunks frame the body, and a
// connection that is not kept when both framings stand in the head.
void CheckAcceptedHead(const CHttpClient& client, const uint8_t* served, size_t size) {
  std::string head;
  FUZZ_CHECK(WalkHeads(served, size, &head) == FINAL_HEAD);
  FUZZ_CHECK(client.m_ResponseHead != nullptr && head == client.m_ResponseHead);
  FUZZ_CHECK(!IsInterimAnswer(client.m_ResponseHead));
  int lengthLines = 0;
  int64_t length = 0;
  const int lengthsAgree = LengthLines(head, &lengthLines, &length);
  if (client.m_Chunked) {
    FUZZ_CHECK(client.m_ContentLength == 0);
    if (lengthLines > 0 || !lengthsAgree) FUZZ_CHECK(client.m_KeepAlive == 0);
  } else {
    FUZZ_CHECK(lengthsAgree);
    FUZZ_CHECK(client.m_ContentLength == length);
  }
}

// A head with a zero byte, up to the final one, is never read.
void CheckRefusedZero(int ok, const CallbackTotals& totals, const uint8_t* served, size_t size) {
  std::string head;
  if (WalkHeads(served, size, &head) != ZERO_IN_HEAD) return;
  FUZZ_CHECK(!ok);
  FUZZ_CHECK(totals.m_Heads == 0);
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

ReadOutcome CheckReadResponse(CHttpClient& client, int toFile, const uint8_t* servedBytes,
                              size_t served, CallbackTotals& totals) {
  ReadOutcome outcome = {0, 0, std::string()};
  if (toFile) {
    client.m_OutputFile.Take(FileOpen(g_OutputPath.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
    FUZZ_CHECK(client.m_OutputFile.Get() != NULL);
  }
  outcome.m_Ok = client.ReadResponse();
  FUZZ_CHECK(totals.m_Heads <= 1);
  FUZZ_CHECK(totals.m_Data <= served);
  FUZZ_CHECK(totals.m_LastDone <= served);
  CheckRefusedZero(outcome.m_Ok, totals, servedBytes, served);
  if (!outcome.m_Ok) return outcome;
  FUZZ_CHECK(totals.m_Heads == 1);
  CheckAcceptedHead(client, servedBytes, served);
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
  const int fileKept = client.m_OutputFile.Get() != NULL;
  if (!client.m_Chunked && !fileKept) FUZZ_CHECK(length == client.m_ContentLength);
  if (fileKept) {
    // A body for the file is never also held in memory.
    FUZZ_CHECK(length == 0);
    client.m_OutputFile.Close();
    int exists = 0;
    const std::string content = ReadFile(g_OutputPath, &exists);
    FUZZ_CHECK(exists);
    FUZZ_CHECK(content.size() <= served);
    if (!client.m_Chunked) FUZZ_CHECK(static_cast<int64_t>(content.size()) == client.m_ContentLength);
    // The file gets the body de-chunked, however the bytes were cut.
    outcome.m_Body = content;
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
  return CheckReadResponse(client, mode & 1, served, servedSize, totals);
}

void CheckDownload(CHttpClient& client, int resume, const uint8_t* served, size_t size) {
  if (resume) WriteFile(g_OutputPath, kOldBytes, sizeof(kOldBytes) - 1);
  std::string response;
  const int ok = client.Download("http://fuzz.test/file", g_OutputPath.c_str(), response, NULL, 0, 0);
  if (ok) {
    CheckAcceptedHead(client, served, size);
    // A stored body had a length or chunks; a 2xx answer with neither
    // carries none only as a 204 or 205.
    std::string head;
    int lengthLines = 0;
    int64_t length = 0;
    WalkHeads(served, size, &head);
    LengthLines(head, &lengthLines, &length);
    if (client.IsSuccess() && !client.m_Chunked && lengthLines == 0)
      FUZZ_CHECK(client.m_StatusCode == 204 || client.m_StatusCode == 205);
  }
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
        // Only the first answer's head is where the walk finds it.
        if (i == 0) CheckAcceptedHead(client, served, servedSize);
      }
    } else {
      CheckDownload(client, (mode & 16) ? 1 : 0, served, servedSize);
    }
  }
  RemoveOutputs();
  return 0;
}
