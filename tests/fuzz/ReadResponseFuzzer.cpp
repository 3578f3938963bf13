// Response reading end to end, the server's bytes played through the fake
// socket layer. Input: a mode byte, a count of piece sizes and the sizes,
// then the bytes the server sends.
//   mode & 3: 0 ReadResponse into memory (mode & 4: to HEAD), the bytes cut
//             as the sizes say and at once;
//             1 Download to a file (mode & 4: every byte as received;
//             mode & 16: resuming a file that already holds bytes);
//             2 two Requests on one client (mode & 4: the first is HEAD;
//             mode & 16: the server sends the second answer only once
//             asked); the second answer is what follows the first one's
//             end, on the kept connection or on a new one;
//             3 Download through the front end's decoder.
//   mode & 8: the connection times out instead of closing at the end.
//   mode kLongBody: as 0, with the served bytes' first zero byte and the
//             byte after it, d, standing for kMemoryBodyLimit + d bytes "z"
//             (d a signed byte), so a body in memory reaches its limit
//             exactly or ends just on either side. Each such run takes
//             seconds, so no seed in corpus/ has it; tests/fuzz/run plays
//             the ones in corpus-long/ once.
// Every answer is judged against the reading rules written out here on
// their own (HeadReference.h, ChunkReference.h, ZlibReference.h): where its
// head and body end, whether it is read, refused (and why) or cut off, the
// body kept in memory or stored in the file, and whether the connection
// may carry the next request: only when the answer's end was known, no
// byte came after it, and its head announced keep-alive.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "ChunkReference.h"
#include "FuzzInput.h"
#include "HeadReference.h"
#include "ZlibReference.h"
#include "engine/ContentEncoding.h"
#include "engine/HttpClient.h"
#include "fakesocket/FakeSocket.h"
#include "frontend/DownloadDecoder.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/FileSystem.h"

namespace {

std::string g_OutputPath;
const char kOldBytes[] = "old bytes of an earlier download";
const uint8_t kLongBody = 0x70;

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

void SetUpClient(CHttpClient& client, CallbackTotals* totals) {
  *totals = CallbackTotals{0, 0, 0};
  client.m_HeadCallback = OnHead;
  client.m_DataCallback = OnData;
  client.m_ProgressCallback = OnProgress;
  client.m_CallbackParam = totals;
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

// Nothing of one run may be left for the next.
void RemoveOutputs() {
  FileDelete(g_OutputPath.c_str());
  FileDelete((g_OutputPath + "_zelvor.part").c_str());
}

// What the rules say of one answer at the front of the served bytes.
enum AnswerOutcome {
  ANSWER_READ,     // read whole
  ANSWER_REFUSED,  // refused, m_Error says why
  ANSWER_CUT_OFF   // the bytes end before the answer does: the receive fails
};

const size_t kNoEnd = std::string::npos;

struct AnswerReference {
  AnswerOutcome m_Outcome = ANSWER_CUT_OFF;
  HttpError m_Error = HTTP_ERR_NONE;
  // A head was found and handed on (the head callback saw it).
  int m_HeadShown = 0;
  std::string m_Head;
  size_t m_HeadEnd = 0;
  int m_Status = -1;
  headref::Fields m_Fields;
  // The body's framing; NOT_FRAMED also for an answer that never has one.
  headref::Framing m_Framing = headref::NOT_FRAMED;
  int64_t m_Length = 0;
  int m_Both = 0;
  // The body's own bytes (de-chunked).
  std::string m_Body;
  // Where an answer read whole ends, trailer lines included (kNoEnd for any
  // other outcome), and whether that end is known from the head at all.
  size_t m_End = kNoEnd;
  int m_EndKnown = 0;
};

// The answer at the front of served. toMemory: a body held in memory is
// refused beyond kMemoryBodyLimit, by its length or, chunked, once the
// chunk data in hand passes it.
AnswerReference Judge(const std::string& served, int toHead, int toMemory) {
  AnswerReference ref;
  switch (headref::WalkHeads(served, &ref.m_Head, &ref.m_HeadEnd)) {
    case headref::NO_FINAL_HEAD:
      return ref;
    case headref::ZERO_IN_HEAD:
    case headref::HEAD_TOO_LONG:
      ref.m_Outcome = ANSWER_REFUSED;
      ref.m_Error = HTTP_ERR_RESPONSE_FORMAT;
      return ref;
    case headref::BAD_STATUS:
    case headref::BAD_HEAD:
      ref.m_HeadShown = 1;
      ref.m_Outcome = ANSWER_REFUSED;
      ref.m_Error = HTTP_ERR_RESPONSE_FORMAT;
      return ref;
    case headref::FINAL_HEAD:
      ref.m_HeadShown = 1;
      break;
  }
  ref.m_Status = headref::HeadStatus(ref.m_Head);
  ref.m_Fields = headref::HeaderFields(ref.m_Head);
  if (headref::IsBodiless(ref.m_Status) || toHead) {
    ref.m_Outcome = ANSWER_READ;
    ref.m_End = ref.m_HeadEnd;
    ref.m_EndKnown = 1;
    return ref;
  }
  ref.m_Framing = headref::FramingOf(ref.m_Fields, &ref.m_Length, &ref.m_Both);
  const std::string rest = served.substr(ref.m_HeadEnd);
  switch (ref.m_Framing) {
    case headref::UNFRAMEABLE:
      ref.m_Outcome = ANSWER_REFUSED;
      ref.m_Error = HTTP_ERR_RESPONSE_FORMAT;
      return ref;
    case headref::NOT_FRAMED:
      // The answer ends at its empty line as far as it is read; where its
      // body ends nobody knows.
      ref.m_Outcome = ANSWER_READ;
      ref.m_End = ref.m_HeadEnd;
      return ref;
    case headref::FRAMED_BY_LENGTH:
      if (toMemory && ref.m_Length > static_cast<int64_t>(kMemoryBodyLimit)) {
        ref.m_Outcome = ANSWER_REFUSED;
        ref.m_Error = HTTP_ERR_BODY_TOO_LARGE;
        return ref;
      }
      if (static_cast<uint64_t>(ref.m_Length) > rest.size()) return ref;
      ref.m_Outcome = ANSWER_READ;
      ref.m_Body = rest.substr(0, static_cast<size_t>(ref.m_Length));
      ref.m_End = ref.m_HeadEnd + static_cast<size_t>(ref.m_Length);
      ref.m_EndKnown = 1;
      return ref;
    case headref::FRAMED_BY_CHUNKS:
      break;
  }
  const chunkref::ChunkReference chunks = chunkref::Reference(rest);
  ref.m_Body = chunks.m_Body;
  ref.m_EndKnown = 1;
  if (toMemory && ref.m_Body.size() > kMemoryBodyLimit) {
    ref.m_Outcome = ANSWER_REFUSED;
    ref.m_Error = HTTP_ERR_BODY_TOO_LARGE;
    return ref;
  }
  switch (chunks.m_Verdict) {
    case chunkref::CHUNKS_NEED_MORE:
      return ref;
    case chunkref::CHUNKS_REFUSED:
      ref.m_Outcome = ANSWER_REFUSED;
      ref.m_Error = chunks.m_Error;
      return ref;
    case chunkref::CHUNKS_DONE:
      ref.m_Outcome = ANSWER_READ;
      break;
  }
  ref.m_End = ref.m_HeadEnd + chunks.m_End;
  return ref;
}

// The head fields the reader keeps for an answer it read.
void CheckHeadFields(const CHttpClient& client, const AnswerReference& ref) {
  FUZZ_CHECK(client.m_ResponseHead == ref.m_Head);
  FUZZ_CHECK(client.m_StatusCode == ref.m_Status);
  FUZZ_CHECK(!headref::IsInterim(client.m_StatusCode));
  FUZZ_CHECK(client.m_Chunked == (ref.m_Framing == headref::FRAMED_BY_CHUNKS ? 1 : 0));
  FUZZ_CHECK(client.m_ContentLength == (ref.m_Framing == headref::FRAMED_BY_LENGTH ? ref.m_Length : 0));
  FUZZ_CHECK(client.m_LengthKnown == (ref.m_Framing == headref::NOT_FRAMED && !ref.m_EndKnown ? 0 : 1));
}

// The outcome of one read against the rules; received: the bytes the
// reader took from the connection for this answer.
void CheckRead(const CHttpClient& client, int ok, const AnswerReference& ref, size_t received) {
  switch (ref.m_Outcome) {
    case ANSWER_CUT_OFF:
      FUZZ_CHECK(!ok);
      FUZZ_CHECK(client.m_ErrorCode == HTTP_ERR_DISCONNECTED || client.m_ErrorCode == HTTP_ERR_NETWORK);
      return;
    case ANSWER_REFUSED:
      FUZZ_CHECK(!ok);
      FUZZ_CHECK(client.m_ErrorCode == ref.m_Error);
      return;
    case ANSWER_READ:
      FUZZ_CHECK(ok);
      break;
  }
  CheckHeadFields(client, ref);
  // An answer is read through its end, trailer lines included.
  FUZZ_CHECK(received >= ref.m_End);
  // The connection may carry another request only when the answer ended
  // where its head says and nothing came after it.
  const int exact = ref.m_EndKnown && received == ref.m_End;
  FUZZ_CHECK(client.m_ResponseClean == exact);
}

// The body kept in memory: GetBody gives the answer's own bytes.
void CheckBodyInMemory(const CHttpClient& client, const AnswerReference& ref) {
  unsigned int length = 0;
  const char* body = client.GetBody(&length);
  TouchBytes(body, length);
  FUZZ_CHECK(ref.m_Body.compare(0, std::string::npos, body, length) == 0);
}

// Bytes the client took from a served stream: what was handed out less
// what still waits, read ahead, in the connection (drained here, after the
// verdict; the client's result code stays).
size_t ReceivedFromServe(CHttpClient& client) {
  const HttpError error = client.m_ErrorCode;
  const size_t handedOut = FakeSocketServed();
  size_t waiting = 0;
  for (;;) {
    char buffer[kReceiveBlock];
    int received = 0;
    if (!client.Receive(buffer, &received) || FakeSocketServed() != handedOut) break;
    waiting += static_cast<size_t>(received);
  }
  client.m_ErrorCode = error;
  return handedOut - waiting;
}

struct ReadOutcome {
  int m_Ok;
  HttpError m_Error;
  int m_Status;
  std::string m_Body;
};

// One direct read into memory with a fresh client.
ReadOutcome ReadOnce(uint8_t mode, const std::string& served, const uint8_t* pieces,
                     size_t pieceCount) {
  FakeSocketServe(reinterpret_cast<const uint8_t*>(served.data()), served.size(), pieces,
                  pieceCount, (mode & 8) ? 1 : 0);
  CallbackTotals totals;
  CHttpClient client;
  FUZZ_CHECK(client.m_StreamsReady);
  SetUpClient(client, &totals);
  client.m_Connection.m_Socket = SocketCreateTcp();
  const int toHead = (mode & 4) ? 1 : 0;
  client.m_Method = toHead ? HTTP_METHOD_HEAD : HTTP_METHOD_GET;

  ReadOutcome outcome = {client.ReadResponse(), client.m_ErrorCode, 0, std::string()};
  FUZZ_CHECK(totals.m_Heads <= 1);
  FUZZ_CHECK(totals.m_Data <= served.size());
  const AnswerReference ref = Judge(served, toHead, 1);
  // A head that is never read is never shown either.
  if (outcome.m_Ok) FUZZ_CHECK(totals.m_Heads == 1);
  if (!ref.m_HeadShown) FUZZ_CHECK(totals.m_Heads == 0);
  CheckRead(client, outcome.m_Ok, ref, ReceivedFromServe(client));
  if (outcome.m_Ok) {
    CheckBodyInMemory(client, ref);
    outcome.m_Status = client.m_StatusCode;
    unsigned int length = 0;
    const char* body = client.GetBody(&length);
    outcome.m_Body.assign(body, length);
  }
  return outcome;
}

// What a download must leave in its file for an answer read whole: the
// framed bytes through the answer's end (keepOrigin), the body decoded as
// its Content-Encoding list says (decoding), or the body. 0 when the rules
// leave it open; *fails when the download must fail.
int ExpectedFile(const AnswerReference& ref, const std::string& served, int keepOrigin,
                 int decoding, std::string* content, int* fails) {
  *fails = 0;
  if (keepOrigin) {
    *content = served.substr(ref.m_HeadEnd, ref.m_End - ref.m_HeadEnd);
    return 1;
  }
  *content = ref.m_Body;
  if (!decoding) return 1;
  std::vector<ContentCoding> codings;
  if (!ReadContentCodings(headref::CodingList(ref.m_Fields), codings) || codings.empty()) return 1;
  switch (zref::UndoAll(codings, ref.m_Body, content)) {
    case zref::DECODED:
      return 1;
    case zref::NOT_DECODED:
      *fails = 1;
      return 1;
    case zref::TOO_LARGE:
      break;
  }
  return 0;
}

void CheckDownload(uint8_t mode, const std::string& served, const uint8_t* pieces,
                   size_t pieceCount) {
  FakeSocketServe(reinterpret_cast<const uint8_t*>(served.data()), served.size(), pieces,
                  pieceCount, (mode & 8) ? 1 : 0);
  RemoveOutputs();
  const int resume = (mode & 16) ? 1 : 0;
  const int decoding = (mode & 3) == 3;
  const int keepOrigin = !decoding && (mode & 4);
  if (resume) WriteFile(g_OutputPath, kOldBytes, sizeof(kOldBytes) - 1);

  CallbackTotals totals;
  CImpBroxCmd cmd;
  CDownloadDecoder decoder(cmd);
  int ok = 0;
  int status = 0;
  int success = 0;
  HttpError error = HTTP_ERR_NONE;
  std::string body;
  {
    CHttpClient client;
    FUZZ_CHECK(client.m_StreamsReady);
    SetUpClient(client, &totals);
    if (decoding) client.m_BodyDecoder = &decoder;
    std::string response;
    ok = client.Download("http://fuzz.test/file", g_OutputPath.c_str(), response, NULL, 0, keepOrigin);
    FUZZ_CHECK(totals.m_Data <= served.size());
    status = client.m_StatusCode;
    error = client.m_ErrorCode;
    success = client.IsSuccess();
    unsigned int length = 0;
    const char* kept = client.GetBody(&length);
    body.assign(kept, length);
  }
  const AnswerReference ref = Judge(served, 0, 0);
  const int twoxx = ref.m_Status >= 200 && ref.m_Status <= 299;
  // A 206 to a resumed file is a part of it: it continues the file only
  // from where the file ends, and is stored as it came, never decoded.
  const int continues = resume && ref.m_Status == 206;
  const int continuesAtEnd = headref::ContinuesAt(ref.m_Fields, sizeof(kOldBytes) - 1);
  // With no Range sent, a 206 is a file only as the whole resource.
  const int unaskedPart = !resume && ref.m_Status == 206 && !headref::IsWholeResource(ref.m_Fields);
  std::string expected;
  int fails = 0;
  const int judged = ref.m_Outcome == ANSWER_READ && twoxx &&
                     ExpectedFile(ref, served, keepOrigin, decoding && !continues, &expected, &fails);
  if (ref.m_Outcome == ANSWER_CUT_OFF || ref.m_Outcome == ANSWER_REFUSED) FUZZ_CHECK(!ok);
  // A 2xx body framed neither way (but a 205's, which carries none) is not stored.
  const int noLength = twoxx && ref.m_Framing == headref::NOT_FRAMED && !ref.m_EndKnown &&
                       ref.m_Status != 205;
  if (noLength) {
    FUZZ_CHECK(!ok && error == HTTP_ERR_NO_BODY_LENGTH);
  } else if ((continues && !continuesAtEnd) || unaskedPart) {
    // Refused once the head is in, whatever the body does after it.
    FUZZ_CHECK(!ok && error == HTTP_ERR_RESPONSE_FORMAT);
  } else if (ref.m_Outcome == ANSWER_READ) {
    FUZZ_CHECK(ok == !(judged && fails));
  }

  int exists = 0;
  const std::string content = ReadFile(g_OutputPath, &exists);
  int sideExists = 0;
  ReadFile(g_OutputPath + "_zelvor.part", &sideExists);
  // The side file of a whole-body answer never stays behind.
  FUZZ_CHECK(!sideExists);
  if (!ok || !success) {
    // A failed or refused download, and any other status, leaves the path
    // as it found it.
    if (resume) {
      FUZZ_CHECK(exists && content == kOldBytes);
    } else {
      FUZZ_CHECK(!exists);
    }
    // The body of another status is kept in memory.
    if (ok && ref.m_Outcome == ANSWER_READ) FUZZ_CHECK(body == ref.m_Body);
    return;
  }
  FUZZ_CHECK(status == ref.m_Status);
  // A resumed part lands behind the old bytes; a 200's whole body replaces
  // them (an answer that carries none, 204 or 205, may leave them).
  if (continues) {
    FUZZ_CHECK(judged && content == kOldBytes + expected);
    return;
  }
  if (resume && status != 200) return;
  if (!judged) return;
  FUZZ_CHECK(exists || expected.empty());
  FUZZ_CHECK(content == expected);
}

// The served bytes as the receives of one scripted connection: pieces of
// the sizes in turn (0 standing for a whole block), each within one
// receive block, so that no byte waits read ahead after a receive. A piece
// ends at pause as well, where a server that answers only once asked stops
// until the next request.
CFakeConnection Connection(const std::string& bytes, const uint8_t* pieces, size_t pieceCount,
                           int timeOut, size_t pause) {
  CFakeConnection connection;
  size_t next = 0;
  for (size_t at = 0; at < bytes.size();) {
    size_t piece = pieceCount > 0 ? pieces[next++ % pieceCount] : kReceiveBlock;
    if (piece == 0) piece = kReceiveBlock;
    if (at < pause && pause - at < piece) piece = pause - at;
    connection.Receive(bytes.substr(at, piece));
    at += piece;
  }
  if (timeOut) connection.TimeOut();
  return connection;
}

// After a Request that read its answer: the connection stays exactly when
// the rules let it (a clean end, keep-alive announced, not framed both
// ways, no 3xx with a Location that has a value).
void CheckKept(const AnswerReference& ref, size_t received, int kept) {
  const int exact = ref.m_EndKnown && received == ref.m_End;
  const int mayStay = exact && headref::AnnouncesKeepAlive(ref.m_Head, ref.m_Fields) && !ref.m_Both;
  if (!mayStay) {
    FUZZ_CHECK(!kept);
    return;
  }
  int redirect = 0;
  if (ref.m_Status >= 300 && ref.m_Status <= 399) {
    for (const auto& field : ref.m_Fields)
      if (StrICmp(field.first.c_str(), "Location") == 0 && !field.second.empty()) redirect = 1;
  }
  FUZZ_CHECK(kept == !redirect);
}

void CheckTwoRequests(uint8_t mode, const std::string& served, const uint8_t* pieces,
                      size_t pieceCount) {
  const int firstToHead = (mode & 4) ? 1 : 0;
  const AnswerReference first = Judge(served, firstToHead, 1);
  // The second answer is what follows the first one's end; a server asked
  // again on a new connection sends the same.
  const int second = first.m_Outcome == ANSWER_READ;
  const std::string rest = second ? served.substr(first.m_End) : std::string();
  const size_t pause = second && (mode & 16) ? first.m_End : kNoEnd;
  FakeSocketScript({Connection(served, pieces, pieceCount, mode & 8, pause),
                    Connection(rest, pieces, pieceCount, mode & 8, kNoEnd)});

  CallbackTotals totals;
  CHttpClient client;
  FUZZ_CHECK(client.m_StreamsReady);
  SetUpClient(client, &totals);
  std::string response;
  const int ok = client.Request(firstToHead ? HTTP_METHOD_HEAD : HTTP_METHOD_GET,
                                "http://fuzz.test/", response, NULL, 0);
  const size_t received = FakeSocketReceived(0);
  CheckRead(client, ok, first, received);
  if (!ok) {
    FUZZ_CHECK(FakeSocketClosed(0));
    return;
  }
  CheckBodyInMemory(client, first);
  CheckKept(first, received, !FakeSocketClosed(0));
  if (!second) return;

  const int secondOk = client.Request(HTTP_METHOD_GET, "http://fuzz.test/", response, NULL, 0);
  // On the kept connection, or on a new one after it was closed, or after
  // the kept one turned out lost before any byte of the answer.
  const size_t used = FakeSocketConnects() == 1 ? 0 : 1;
  const size_t secondReceived = FakeSocketReceived(used) - (used == 0 ? received : 0);
  const AnswerReference ref = Judge(rest, 0, 1);
  CheckRead(client, secondOk, ref, secondReceived);
  if (!secondOk) return;
  CheckBodyInMemory(client, ref);
  CheckKept(ref, secondReceived, !FakeSocketClosed(used));
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
  std::string served = input.TakeRest();
  const size_t zero = served.find('\0');
  if (mode == kLongBody && zero != std::string::npos && zero + 1 < served.size()) {
    const int delta = static_cast<int8_t>(served[zero + 1]);
    served.replace(zero, 2, static_cast<size_t>(static_cast<int64_t>(kMemoryBodyLimit) + delta), 'z');
  }

  switch (mode & 3) {
    case 0: {
      // A long body is read once, at once: cut small it would take millions
      // of receives and tell nothing new.
      if (served.size() > kMemoryBodyLimit / 2) {
        ReadOnce(mode, served, nullptr, 0);
        break;
      }
      const ReadOutcome cut = ReadOnce(mode, served, pieces, pieceCount);
      // How the bytes are cut into receives must not change what is read,
      // nor why it was refused.
      const ReadOutcome whole = ReadOnce(mode, served, nullptr, 0);
      FUZZ_CHECK(cut.m_Ok == whole.m_Ok);
      FUZZ_CHECK(cut.m_Error == whole.m_Error);
      FUZZ_CHECK(cut.m_Status == whole.m_Status);
      FUZZ_CHECK(cut.m_Body == whole.m_Body);
      break;
    }
    case 2:
      CheckTwoRequests(mode, served, pieces, pieceCount);
      break;
    default:
      CheckDownload(mode, served, pieces, pieceCount);
      break;
  }
  RemoveOutputs();
  return 0;
}
