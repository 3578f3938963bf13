// Response reading end to end, the server's bytes played through the fake
// socket layer. Input: a mode byte, a count of piece sizes and the sizes,
// then the bytes the server sends.
//   mode & 3: 0 ReadResponse into memory, 1 ReadResponse into a file,
//             2 Request, 3 Download
//   mode & 4: a HEAD request (for the direct reads)
//   mode & 8: the connection times out instead of closing at the end
//   mode & 16: Download resumes a file that already holds bytes
// Every accepted answer is checked against where the served bytes put its
// head: interim answers passed over, no head cut at a zero byte or beyond
// its limit, a strict status line, no body for 1xx, 204, 304 or HEAD, the
// framing its Transfer-Encoding and Content-Length lists give (and no kept
// connection beside both), and no download stored without a length. How
// the bytes are cut into receives changes nothing.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// The status of a head's first line when it is "HTTP/" digit "." digit, a
// space and three digits, then a space or its end; else -1.
int StrictStatus(const std::string& head) {
  const size_t lf = head.find('\n');
  std::string line = head.substr(0, lf);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto digit = [&line](size_t i) { return line[i] >= '0' && line[i] <= '9'; };
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !digit(5) || line[6] != '.' ||
      !digit(7) || line[8] != ' ' || !digit(9) || !digit(10) || !digit(11) ||
      (line.size() > 12 && line[12] != ' '))
    return -1;
  return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

// Where the served bytes put the answer's head, found without the reader:
// a head ends at its first empty line (lines end in LF, a CR before it
// being part of the line end) within 8192 bytes, and interim answers (1xx
// but 101) are passed over. FINAL_HEAD with *head, or ZERO_IN_HEAD when a
// head up to the final one holds a zero byte, HEAD_TOO_LONG when one has no
// empty line within the limit, or NO_FINAL_HEAD.
enum HeadWalk { NO_FINAL_HEAD, FINAL_HEAD, ZERO_IN_HEAD, HEAD_TOO_LONG };

HeadWalk WalkHeads(const uint8_t* served, size_t size, std::string* head) {
  const std::string text(reinterpret_cast<const char*>(served), size);
  size_t start = 0;
  for (;;) {
    size_t end = std::string::npos;
    for (size_t lineStart = start; lineStart < text.size();) {
      const size_t lf = text.find('\n', lineStart);
      if (lf == std::string::npos) break;
      if (lf == lineStart || (lf == lineStart + 1 && text[lineStart] == '\r')) {
        end = lf + 1;
        break;
      }
      lineStart = lf + 1;
    }
    if (end == std::string::npos || end - start > 8192)
      return text.size() - start >= 8192 ? HEAD_TOO_LONG : NO_FINAL_HEAD;
    const std::string one = text.substr(start, end - start);
    if (one.find('\0') != std::string::npos) return ZERO_IN_HEAD;
    start = end;
    const int status = StrictStatus(one);
    if (status >= 100 && status <= 199 && status != 101) continue;
    *head = one;
    return FINAL_HEAD;
  }
}

std::string Trimmed(const std::string& text, const char* set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(set) + 1 - first);
}

// Every comma-separated element of every line named name (any case) of a
// head, without the spaces and tabs around it; *found says whether a line
// had that name.
std::vector<std::string> Elements(const std::string& head, const char* name, int* found) {
  std::vector<std::string> elements;
  *found = 0;
  size_t start = head.find('\n') + 1;
  for (;;) {
    const size_t lf = head.find('\n', start);
    if (lf == std::string::npos) break;
    std::string line = head.substr(start, lf - start);
    start = lf + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (StrICmp(Trimmed(line.substr(0, colon), " ").c_str(), name) != 0) continue;
    *found = 1;
    const std::string value = line.substr(colon + 1);
    size_t at = 0;
    for (;;) {
      const size_t comma = value.find(',', at);
      elements.push_back(Trimmed(value.substr(at, comma == std::string::npos ? comma : comma - at),
                                 " \t"));
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
  }
  return elements;
}

// The framing a head gives a body, read on its own. FRAMED_BY_CHUNKS,
// FRAMED_BY_LENGTH with *length, NOT_FRAMED, or UNFRAMEABLE for transfer
// codings other than chunked alone ("identity" counting as none), or
// lengths that are not one decimal number within 63 bits. *both says
// whether chunks stand beside a length.
enum Framing { FRAMED_BY_CHUNKS, FRAMED_BY_LENGTH, NOT_FRAMED, UNFRAMEABLE };

Framing FramingOf(const std::string& head, int64_t* length, int* both) {
  int found = 0;
  std::vector<std::string> codings;
  for (const std::string& coding : Elements(head, "Transfer-Encoding", &found))
    if (!coding.empty() && StrICmp(coding.c_str(), "identity") != 0) codings.push_back(coding);
  int lengthFound = 0;
  const std::vector<std::string> lengths = Elements(head, "Content-Length", &lengthFound);
  *both = lengthFound && !codings.empty();
  if (!codings.empty())
    return codings.size() == 1 && StrICmp(codings[0].c_str(), "chunked") == 0 ? FRAMED_BY_CHUNKS
                                                                              : UNFRAMEABLE;
  if (!lengthFound) return NOT_FRAMED;
  for (size_t i = 0; i < lengths.size(); ++i) {
    const std::string& text = lengths[i];
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return UNFRAMEABLE;
    const size_t first = text.find_first_not_of('0');
    const std::string significant = first == std::string::npos ? "" : text.substr(first);
    if (significant.size() > 19 || (significant.size() == 19 && significant > "9223372036854775807"))
      return UNFRAMEABLE;
    const int64_t number = significant.empty() ? 0 : std::stoll(significant);
    if (i > 0 && number != *length) return UNFRAMEABLE;
    *length = number;
  }
  return FRAMED_BY_LENGTH;
}

// What every answer the reader accepted must be, judged from the served
// bytes: the final head whole (no interim one, nothing cut at a zero byte,
// a strict status line), no framing for an answer that never has a body,
// and otherwise the framing its head gives, with a connection that is not
// kept when both framings stand in the head.
void CheckAcceptedHead(const CHttpClient& client, const uint8_t* served, size_t size) {
  std::string head;
  FUZZ_CHECK(WalkHeads(served, size, &head) == FINAL_HEAD);
  FUZZ_CHECK(head == client.m_ResponseHead);
  const int status = StrictStatus(head);
  FUZZ_CHECK(status == client.m_StatusCode);
  FUZZ_CHECK(!IsInterimStatus(status));
  if (IsBodilessStatus(status) || client.m_Method == HTTP_METHOD_HEAD) {
    FUZZ_CHECK(!client.m_Chunked && client.m_ContentLength == 0);
    return;
  }
  int64_t length = 0;
  int both = 0;
  const Framing framing = FramingOf(head, &length, &both);
  FUZZ_CHECK(framing != UNFRAMEABLE);
  FUZZ_CHECK(client.m_Chunked == (framing == FRAMED_BY_CHUNKS ? 1 : 0));
  FUZZ_CHECK(client.m_LengthKnown == (framing == NOT_FRAMED ? 0 : 1));
  FUZZ_CHECK(client.m_ContentLength == (framing == FRAMED_BY_LENGTH ? length : 0));
  if (both) FUZZ_CHECK(client.m_KeepAlive == 0);
}

// A head with a zero byte, up to the final one, is never read.
// Nor is one that does not end within the limit.
void CheckRefusedZero(int ok, const CallbackTotals& totals, const uint8_t* served, size_t size) {
  std::string head;
  const HeadWalk walk = WalkHeads(served, size, &head);
  if (walk != ZERO_IN_HEAD && walk != HEAD_TOO_LONG) return;
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
  HttpError m_Error;
  int m_Status;
  std::string m_Body;
};

ReadOutcome CheckReadResponse(CHttpClient& client, int toFile, const uint8_t* servedBytes,
                              size_t served, CallbackTotals& totals) {
  ReadOutcome outcome = {0, HTTP_ERR_NONE, 0, std::string()};
  if (toFile) {
    client.m_Target.Adopt(
        FileOpen(g_OutputPath.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
    FUZZ_CHECK(client.m_Target.Get() != NULL);
  }
  outcome.m_Ok = client.ReadResponse();
  outcome.m_Error = client.m_ErrorCode;
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
  // A HEAD response has no body, and nothing after its head is kept.
  if (client.m_Method == HTTP_METHOD_HEAD) {
    FUZZ_CHECK(length == 0);
    return outcome;
  }
  outcome.m_Body.assign(body, length);
  // A body framed by its length ends exactly there, in memory or in the file.
  const int fileKept = client.m_Target.Get() != NULL;
  if (!client.m_Chunked && !fileKept) FUZZ_CHECK(length == client.m_ContentLength);
  // An answer that never has a body shows none, whatever followed its head.
  if (IsBodilessStatus(client.m_StatusCode)) FUZZ_CHECK(length == 0);
  if (fileKept) {
    // A body for the file is never also held in memory.
    FUZZ_CHECK(length == 0);
    client.m_Target.Commit(nullptr, {}, 0);
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
  client.m_Connection.m_Socket = SocketCreateTcp();
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
    int64_t length = 0;
    int both = 0;
    WalkHeads(served, size, &head);
    if (client.IsSuccess() && FramingOf(head, &length, &both) == NOT_FRAMED)
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
    // How the bytes are cut into receives must not change what is read,
    // nor why it was refused.
    const ReadOutcome whole = ReadOnce(mode, served, servedSize, nullptr, 0);
    FUZZ_CHECK(cut.m_Ok == whole.m_Ok);
    FUZZ_CHECK(cut.m_Error == whole.m_Error);
    FUZZ_CHECK(cut.m_Status == whole.m_Status);
    FUZZ_CHECK(cut.m_Body == whole.m_Body);
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
