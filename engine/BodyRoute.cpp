// Where the bytes of a response body go: chosen once when the head is in,
// then every received byte and every byte of the body itself passes to the
// sink chosen, which writes it without asking again.
#include <cstring>
#include <string>

#include "engine/ContentRange.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

namespace {

// The client's streams: a body by length collects where its first bytes
// came with the head, a chunked one in m_DechunkedStream.
class CMemorySink : public CBodySink {
 public:
  int Received(CHttpClient&, const char*, unsigned int, uint64_t) const override { return 1; }
  int Store(CHttpClient& client, const char* data, unsigned int length) const override {
    return client.KeepInMemory(client.m_Chunked ? client.m_DechunkedStream : client.m_RawStream,
                               data, length);
  }
  int StoreFirst(CHttpClient&, unsigned int) const override { return 1; }
  int End(CHttpClient&, int read) const override { return read; }
};

// The download's file, the body's own bytes as they came; progress after
// every received block.
class CFileSink : public CBodySink {
 public:
  int Received(CHttpClient& client, const char*, unsigned int, uint64_t done) const override {
    Progress(client, done);
    return 1;
  }
  int Store(CHttpClient& client, const char* data, unsigned int length) const override {
    return Write(client, data, length);
  }
  int StoreFirst(CHttpClient& client, unsigned int length) const override {
    if (!Store(client, client.m_RawStream.m_Data, length)) return 0;
    client.m_RawStream.CutEnd(0);
    return 1;
  }
  // Gathered bytes reach the file on every way out, failures included, so
  // the download finds the file as if every piece had been written at once.
  int End(CHttpClient& client, int read) const override {
    if (client.m_Download.m_Target->Flush() || !read) return read;
    client.m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }

  static int Write(CHttpClient& client, const char* data, size_t length) {
    if (client.m_Download.m_Target->Write(data, length)) return 1;
    client.m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  static int WriteDecoded(void* client, const char* data, size_t length) {
    return Write(*static_cast<CHttpClient*>(client), data, length);
  }

 protected:
  static void Progress(CHttpClient& client, uint64_t done) {
    if (client.m_ProgressCallback)
      client.m_ProgressCallback(&client, static_cast<uint64_t>(client.m_ContentLength), done,
                                client.m_CallbackParam);
  }
};

// The download's file, every byte as it came, framing included.
class CAsReceivedFileSink : public CFileSink {
 public:
  int Received(CHttpClient& client, const char* data, unsigned int length,
               uint64_t done) const override {
    if (!Write(client, data, length)) return 0;
    Progress(client, done);
    return 1;
  }
  int Store(CHttpClient&, const char*, unsigned int) const override { return 1; }
  int StoreFirst(CHttpClient& client, unsigned int) const override {
    client.m_RawStream.CutEnd(0);
    return 1;
  }
};

// The download's file, the body's own bytes through m_BodyDecoder.
class CDecodedFileSink : public CFileSink {
 public:
  int Store(CHttpClient& client, const char* data, unsigned int length) const override {
    if (client.m_BodyDecoder->Decode(data, length, WriteDecoded, &client)) return 1;
    if (client.m_ErrorCode == HTTP_ERR_NONE) client.m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  // The decoder's verdict counts only for a body that arrived whole; one
  // cut off failed for that reason.
  int End(CHttpClient& client, int read) const override {
    int ok = read;
    if (ok && !client.m_BodyDecoder->End()) {
      client.m_ErrorCode = HTTP_ERR_FILE_OPERATION;
      ok = 0;
    }
    return CFileSink::End(client, ok);
  }
};

const CMemorySink kToMemory;
const CFileSink kToFile;
const CAsReceivedFileSink kToFileAsReceived;
const CDecodedFileSink kToDecodedFile;

}  // namespace

const CBodySink* BodyToMemory() { return &kToMemory; }

int CHttpClient::ChooseBodyRoute() {
  m_Sink = &kToMemory;
  m_BodyCodings.clear();
  CDownloadTarget* target = m_Download.m_Target;
  if (!target || !*target || !IsSuccess()) {
    // The body of any other status is no download: it goes to memory, and
    // the file is put back as it was.
    if (target) target->Abandon();
    if (m_ContentLength <= kMemoryBodyLimit) return 1;
    m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
    return 0;
  }
  // A 2xx body to a download goes to its file.
  if (!TakeBodyInFile(*target)) return 0;
  if (m_Download.m_KeepOrigin) {
    // Every byte as it came: there is nothing to decode.
    m_Sink = &kToFileAsReceived;
    return 1;
  }
  m_Sink = &kToFile;
  // A part behind a resumed file's old bytes does not decode alone, and
  // decoding it would lose them; a coding the table lacks keeps the body as
  // it came. Either way the decoder is never asked.
  const int continues = target->ResumeFrom() > 0 && m_StatusCode == 206;
  if (!m_BodyDecoder || continues ||
      !ReadContentCodings(GetContentEncoding(), m_BodyCodings) || m_BodyCodings.empty() ||
      !m_BodyDecoder->Begin(m_BodyCodings)) {
    m_BodyCodings.clear();
    return 1;
  }
  // A sink cannot be taken back: its body goes as it came to a scratch
  // file, and is decoded into the sink once the whole of it is in.
  if (target->IsSink()) {
    if (target->CollectForSink()) return 1;
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  m_Sink = &kToDecodedFile;
  return 1;
}

int CHttpClient::TakeBodyInFile(CDownloadTarget& target) {
  // Without a length the body would end only with the connection, which is
  // never waited for: the download would look complete and hold nothing.
  // Answers that carry no body stand as they are.
  const int noContent = m_StatusCode == 204 || m_StatusCode == 205;
  if (!m_LengthKnown && !noContent) {
    m_ErrorCode = HTTP_ERR_NO_BODY_LENGTH;
    return 0;
  }
  const uint64_t resumeFrom = target.ResumeFrom();
  if (m_StatusCode == 206 && (resumeFrom > 0 || !m_Download.m_CallerRange)) {
    // A part is the file's only where the file ends, or, when nothing was
    // asked for, when it is the whole resource; a part without a readable
    // range, or with lines that disagree on it, could be from anywhere and
    // would corrupt the file.
    std::string range;
    uint64_t first = 0;
    const int single = SingleValue(m_Head, "Content-Range", &range) == 1;
    const int fits = resumeFrom > 0
                         ? single && ParseContentRangeStart(range, &first) && first == resumeFrom
                         : single && IsWholeContentRange(range);
    if (!fits) {
      m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
      return 0;
    }
  }
  // A new file (or a sink), a resumed one that a part continues, and one
  // that an answer without content leaves as it is, take the body where they
  // end. A file that was there, empty or not, is the user's: any other body
  // goes beside it.
  if (!target.HoldsEarlierFile() || (resumeFrom > 0 && m_StatusCode == 206) || noContent)
    return target.ContinueFile();
  // Any other 2xx answers with the whole resource. It replaces the file only
  // once it is complete; until then the old bytes stay as they are.
  if (target.ReplaceFile()) return 1;
  m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return 0;
}
