// One HTTP/HTTPS connection with the state of the request under way and of
// the last response.
#ifndef ZELVORA_ENGINE_HTTPCLIENT_H
#define ZELVORA_ENGINE_HTTPCLIENT_H

#include <cstdint>
#include <string>
#include <vector>

#include "engine/BodyDecoder.h"
#include "engine/ChunkDecoder.h"
#include "engine/Connection.h"
#include "engine/ContentEncoding.h"
#include "engine/DownloadTarget.h"
#include "engine/HeaderMap.h"
#include "engine/HttpTypes.h"
#include "engine/MemStream.h"
#include "engine/ResponseHead.h"
#include "platform/Socket.h"

// What one head says; ParseHeaders sets all of it from every head it reads
// (the body's framing and the connection's fate: BodyFields).
struct CResponseHeadFields : BodyFields {
  // The head read once: status line and every header line in order.
  ParsedHead m_Head;
  // The header lines by name; the first value of a name stays.
  HeaderMap m_ResponseHeaders;
  int m_StatusCode = 0;
  std::string m_ResponseVersion;
  std::string m_ReasonPhrase;
  // A 3xx answer's first Location value that is not empty.
  std::string m_Location;
};

// The last response's state: Reset clears all of it in one step, to the
// defaults given here.
struct CResponseState : CResponseHeadFields {
  // The head as received, through its empty line.
  std::string m_ResponseHead;
  // 1 when the last response ended exactly where its framing says, so the
  // connection may carry another request.
  int m_ResponseClean = 0;
  // The chunk decoder of a chunked body: how far it has come.
  CChunkDecoder m_ChunkProgress;
};

class CHttpClient;

// Where the bytes of one response body go: chosen once its head is known
// (ChooseBodyRoute, BodyRoute.cpp), then handed every piece of it without
// another look at the route. A sink keeps no state of its own: what it
// writes to is the client's. Each call 1, or 0 with client.m_ErrorCode set.
class CBodySink {
 public:
  virtual ~CBodySink() {}
  // Every received byte of the body, framing included, once the data
  // callback has seen them; done counts them so far.
  virtual int Received(CHttpClient& client, const char* data, unsigned int length,
                       uint64_t done) const = 0;
  // The body's own bytes (de-chunked).
  virtual int Store(CHttpClient& client, const char* data, unsigned int length) const = 0;
  // The first length bytes of a body by length, which came with the head
  // and wait at the front of client.m_RawStream.
  virtual int StoreFirst(CHttpClient& client, unsigned int length) const = 0;
  // The body was read whole (read 1) or stopped (0): 1 when it stands whole
  // where it went.
  virtual int End(CHttpClient& client, int read) const = 0;
};

// The sink of every body that is not a download's 2xx: the client's streams
// (m_DechunkedStream for a chunked body, m_RawStream behind its first bytes
// for one by length), within kMemoryBodyLimit.
const CBodySink* BodyToMemory();

// What a download asks of the answer's body, handed to the reader before
// the exchange; empty for every other operation, whose body stays in memory.
struct CDownloadPlan {
  // The file that takes a 2xx body.
  CDownloadTarget* m_Target = nullptr;
  // Every byte as it came, chunk framing included (the caller's keepOrigin).
  int m_KeepOrigin = 0;
  // 1 when the request carries a Range among the caller's own headers: a
  // 206 then answers what the caller asked for. Without any Range a 206
  // stands for the file only when it holds the whole resource.
  int m_CallerRange = 0;
};

// One request and its response: Reset starts every operation with all of
// it anew, in one step, to the defaults given here.
struct CRequestState : CResponseState {
  int m_UseTls = 0;
  HttpError m_ErrorCode = HTTP_ERR_NONE;
  std::string m_Host;
  std::string m_Path;
  unsigned short m_Port = 80;
  HttpMethod m_Method = HTTP_METHOD_GET;
  // Header lines of this request only (a resumed download's Range, an
  // upload's Content-Type and Content-Length); they go out among
  // m_RequestHeaders, whose value wins a name both hold.
  HeaderMap m_RequestOnlyHeaders;
  CDownloadPlan m_Download;
  // The sink the body goes to (ChooseBodyRoute), and the codings a
  // download's body is decoded from there (empty when it is stored as it
  // came).
  const CBodySink* m_Sink = BodyToMemory();
  std::vector<ContentCoding> m_BodyCodings;
};

// What a request body is handed by the exchange it goes out on, which owns
// it: the head lines of this request it may add, the connection to send on,
// the progress report, and the place to say its own failure.
class CBodyContext {
 public:
  virtual ~CBodyContext() {}
  // A header line for this request only.
  virtual void AddHeader(const std::string& name, const std::string& value) = 0;
  // The body's next bytes out: 1, or 0 with the connection's code recorded.
  virtual int Send(const char* data, int length) = 0;
  // done of the body's total bytes have gone out.
  virtual void Progress(uint64_t total, uint64_t done) = 0;
  // The body failed of its own (its file, not the connection): the exchange
  // fails with error.
  virtual void Fail(HttpError error) = 0;
};

// What a request carries after its head, sent on the one road of every
// request (SendRequest): bytes in memory, or an upload's parts around a
// file.
class CRequestBody {
 public:
  virtual ~CRequestBody() {}
  // Once the URL is split and before any connection: what the body needs
  // (an open file, its head lines). 1, or 0 after context.Fail.
  virtual int Prepare(CBodyContext& context) = 0;
  // The length for the head's own Content-Length line; -1 leaves the line
  // out (the body's own head lines then carry one).
  virtual int HeadLength() const = 0;
  // Sends the body after the head: 1, or 0 (context.Fail for a failure of
  // its own). A body that can be sent only once (a POST's) is never asked
  // twice.
  virtual int Send(CBodyContext& context) = 0;
};

class CHttpClient : public CRequestState {
 public:
  CHttpClient();
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Operations used by the front end.
  // Sends one request (body: bodyLen bytes, or none) and reads the answer.
  // 1 when a response was read, whatever its status, with its body text
  // (CopyBodyText) in response; 0 with m_ErrorCode set where a reason is
  // known, response untouched and the connection closed.
  int Request(HttpMethod method, const char* url, std::string& response, const char* body,
              int bodyLen);
  // Fetches url into filePath (its file from open to commit: see
  // DownloadTarget.h; a file that holds data is resumed with a Range
  // request, for this request only). 1 when a response was received,
  // whatever its status; 0 with m_ErrorCode. A 206 is stored only as what
  // was asked for: the rest of a resumed file, the part a Range among the
  // caller's headers asked for, or with no Range at all the whole resource.
  // A 2xx body goes to the file as it arrives, de-chunked (the framed bytes
  // under keepOrigin), and decoded through m_BodyDecoder when
  // ChooseBodyRoute offers it and the decoder takes it: no copy of it is
  // held in memory, and the file is never rewritten. A path that is a
  // symbolic link, or an open file that is not regular, is a sink: never
  // resumed, truncated, moved or deleted here; a sink behind a link is
  // written at its end. A body to decode for a sink collects as it came in
  // a scratch file and is decoded into the sink only once it is known to
  // decode whole, so a body that does not decode leaves nothing there. The
  // body of any other status is kept in memory (GetBody, within
  // kMemoryBodyLimit) and the file is put back as it was, as on every
  // failure. A body that does not decode fails the download
  // (m_BodyDecoder->Failed() then says so).
  int Download(const char* url, const char* filePath, std::string& response, const char* body,
               int bodyLen, int keepOrigin);
  // POSTs the file at filePath as the one part of a multipart/form-data
  // body whose length is announced from the file's size, and reads the
  // answer. 1 when a response was read, whatever its status, with its body
  // text in response; 0 with m_ErrorCode and response untouched:
  // HTTP_ERR_NETWORK without stream blocks, HTTP_ERR_URL_FORMAT,
  // HTTP_ERR_FILE_OPERATION when the file cannot be opened, sized or read
  // to its announced end, or the connection's code (the connection is then
  // closed). The file is closed before the answer is read.
  int Upload(const char* url, const char* filePath, std::string& response);
  // A header for every later request until the caller clears
  // m_RequestHeaders; a name already there (the same bytes) keeps its first
  // value.
  void AddHeader(const std::string& name, const std::string& value);
  // The last response's body kept in memory (de-chunked for a chunked one;
  // empty after a 2xx download, whose body is in its file, and after an
  // answer that has none: to HEAD, 1xx, 204, 304), never NULL,
  // with its byte count in *length (when not NULL). Zero-terminated only
  // when it does not fill its block; valid until the next request or Reset.
  const char* GetBody(unsigned int* length) const;
  // 1 when the last response's status is 2xx, else 0.
  int IsSuccess() const;
  // The host of the last request's URL; empty after Reset.
  std::string GetHost() const;
  // The last response's Content-Encoding: every line's value in head order
  // as one comma list, without the spaces and tabs around each; empty
  // without one.
  std::string GetContentEncoding() const;

  // Forgets the last request's URL and response, and puts back a download's
  // file still held by m_Target (DownloadTarget.h).
  // The connection, the request headers, the callbacks and the (emptied)
  // stream blocks stay.
  void Reset();
  // Ends the connection (a TLS session is shut down first) and drops what
  // was read ahead on it; the response fields stay.
  void Close();

  // Steps of one exchange that tests drive on their own; each is the
  // operation of m_Connection of the same name, with m_ErrorCode for its
  // code. Connect goes to m_Host:m_Port with the scheme of m_UseTls and the
  // time-outs set here. Bytes left after a response keep the next request
  // off the connection.
  int Connect();
  int Send(const char* data, int length);
  int Receive(char* buffer, int* received);
  // Appends the request head to head: the request line for method and
  // m_Path, every header of m_RequestHeaders and m_RequestOnlyHeaders in
  // one key order (a name both hold once, with the first one's value),
  // Host, Accept, Accept-Encoding and User-Agent where no header of that
  // name (any case) stands in, the Content-Length line when
  // contentLength >= 0, and the blank line.
  void BuildRequestHead(std::string& head, int method, int contentLength);
  // Reads m_ResponseHead once into m_Head, and from it the status, the
  // header map and the fields the body reader needs (all of
  // CResponseHeadFields, set anew, the framing by ReadBodyFields for
  // m_Method); changes no file and no connection. 1, or 0 with
  // HTTP_ERR_RESPONSE_FORMAT (no head, or a status line that is not "HTTP/"
  // digit "." digit, a space and three digits) or ReadBodyFields' code.
  int ParseHeaders();
  // Reads one response, head and body, from the connection: into the
  // streams, or into the file of m_Download (ChooseBodyRoute decides once
  // the head is in). An answer to HEAD, and a 1xx, 204 or 304, ends at
  // its empty line; one by length after its length; a chunked one after the
  // empty line that ends its trailer. Bytes after that end are no body: no
  // callback sees them, nothing stores them, and they keep the connection
  // from the next request, as an answer without a known end (neither length
  // nor chunks) does. 1 when it was read whole (m_ResponseClean then tells
  // whether the connection may carry the next request), 0 with m_ErrorCode
  // set where a reason is known; a refused framing always records one. The
  // outcome never depends on how the bytes were cut into receives.
  int ReadResponse();
  // Decodes the chunks buffered in m_RawStream with m_ChunkProgress; chunk
  // data goes on to m_Sink as it arrives (to m_DechunkedStream for a
  // body kept in memory), never held whole, and what was decoded leaves the
  // stream. 1 once the body ended (the last chunk, its trailer lines and
  // the empty line after them; m_RawStream then holds only what came after
  // that end), or at once when the body is not chunked; 0 when more bytes
  // are needed; -1 with m_ErrorCode set when the framing is refused
  // (HTTP_ERR_RESPONSE_FORMAT, or HTTP_ERR_CHUNK_TOO_LARGE for a size beyond
  // 63 bits) or the data could not be kept. The verdict never depends on how
  // the bytes were cut into calls.
  int DecodeChunks();

  // Client state; the front end reads the response fields and sets the
  // callbacks, the rest belongs to the engine. The request and response
  // fields: see CRequestState.
  // The connection; it holds the socket (m_Socket) and the TLS session
  // (m_Ssl), and closes them when the client goes.
  CConnection m_Connection;
  uint32_t m_SendTimeout;
  uint32_t m_RecvTimeout;
  // Headers of every request of the client, until the caller clears them.
  HeaderMap m_RequestHeaders;
  CMemStream m_RawStream;
  CMemStream m_DechunkedStream;
  // The download's file, from open to commit.
  CDownloadTarget m_Target;
  // Set by the caller: what a 2xx download body may be decoded by (none:
  // stored as it came).
  CBodyDecoder* m_BodyDecoder;
  // Set by the caller: the keeper of what the output path held before
  // (EarlierFile.h). A whole body that takes the place of a file that was
  // there leaves it aside with this keeper, when it keeps that path, for
  // the caller to drop or to bring back; without one it is dropped once the
  // body is in its place.
  CEarlierFile* m_EarlierFile;
  ResponseHeadCallback m_HeadCallback;
  ResponseDataCallback m_DataCallback;
  ProgressCallback m_ProgressCallback;
  void* m_CallbackParam;

  // 1 when both stream buffers were allocated; a client without them never
  // sends a request (SendRequest checks, for every operation).
  int m_StreamsReady;

  // Appends bytes to stream within kMemoryBodyLimit: a body in memory, and
  // the head and chunk framing waiting in m_RawStream. 1, or 0 with
  // HTTP_ERR_BODY_TOO_LARGE.
  int KeepInMemory(CMemStream& stream, const char* data, unsigned int size);

 private:
  // Steps of one exchange.
  // The one road of every request: the stream blocks (HTTP_ERR_NETWORK
  // without them), the URL, the body's preparation (its head lines join
  // m_RequestOnlyHeaders), then SendOnce: 1 when a response was read, 0
  // with m_ErrorCode set where a reason is known; the caller closes the
  // connection after a 0. A GET or HEAD that went out on
  // a kept connection and lost it to the peer before any byte of its answer
  // arrived is sent once more on a new connection; a POST never is.
  int SendRequest(const char* url, HttpMethod method, CRequestBody& body);
  // One try of SendRequest: connection, head, body (on context, the
  // exchange's side of it), ReadResponse.
  int SendOnce(HttpMethod method, CRequestBody& body, CBodyContext& context);
  // 1 when the try that just failed may be made again: see SendRequest.
  int MayResend(HttpMethod method) const;
  // Splits url into m_Host, m_Path, m_Port and m_UseTls: 1, or 0 with
  // HTTP_ERR_URL_FORMAT (also for no url).
  int SplitRequestUrl(const char* url);
  // SendRequest with bodyLen bytes of body (none for NULL or 0), the head's
  // Content-Length line saying bodyLen.
  int SendRequest(const char* url, HttpMethod method, const char* body, int bodyLen);
  // Connect, then the head of a method request (contentLength < 0 leaves
  // its Content-Length line out): 1 when the head is sent, else 0 as
  // Connect or Send leave it.
  int SendHead(HttpMethod method, int contentLength);
  // The end of every exchange, read being whether a response was read whole
  // (and, for a download, its file finished): 0 closes the connection and
  // returns 0; else the body text goes to response (when given) and
  // FinishResponse decides about the connection, and it returns 1.
  int EndExchange(int read, std::string* response);
  // Closes the connection unless it may carry the next request: no redirect,
  // keep-alive answered, and the response ended where its framing says.
  void FinishResponse();

  // Steps of ReadResponse. Each returns 1, or 0 with m_ErrorCode set where
  // a reason is known. ReadHead passes over interim answers (1xx but 101):
  // only the final head goes to the head callback. A head is refused
  // (HTTP_ERR_RESPONSE_FORMAT) when its empty line does not end within
  // kHeadLimit bytes, however its bytes arrived.
  int ReadHead();
  // Moves the first headLength bytes of m_RawStream (a whole head) into
  // m_ResponseHead. 0 with HTTP_ERR_RESPONSE_FORMAT for a head that holds a
  // zero byte (nothing is moved then).
  int MoveHeadOut(unsigned int headLength);
  int ReadBodyByLength();
  int ReadChunkedBody();
  // The body bytes that came with the head, to the callbacks and the sink.
  int DeliverFirstBytes(unsigned int length);

  // The route of the body (BodyRoute.cpp). ChooseBodyRoute, once the head is
  // in, is the one place that sets m_Sink and decides about decoding:
  // memory for any answer but a 2xx to m_Download (whose file is then put
  // back at once); else the file as received under m_KeepOrigin; else the
  // file decoded when the Content-Encoding lists only codings of the table
  // and m_BodyDecoder takes them (a sink's body goes as it came to a
  // scratch file, decoded into the sink at commit), or as it came. A part
  // that continues a resumed file is never offered to the decoder: it lands
  // behind the old bytes as it came. 1, or 0 with m_ErrorCode set (a body
  // too large for memory, or the file cannot take it).
  int ChooseBodyRoute();
  // How the file of a download takes a 2xx body: HTTP_ERR_NO_BODY_LENGTH
  // for a body framed neither way (but a 204 or 205, which carry none); a
  // 206 must hold what was asked: where a resumed file ends, or with no
  // Range sent the whole resource (HTTP_ERR_RESPONSE_FORMAT else); any
  // other answer with a body to a resumed file goes to a side file
  // (HTTP_ERR_FILE_OPERATION when none can be had). Decides nothing about
  // decoding. 1, or 0 with m_ErrorCode set.
  int TakeBodyInFile(CDownloadTarget& target);

  // The body as the answer text of Request, Download and Upload: up to its
  // first zero byte, never past its length; empty without stream blocks.
  void CopyBodyText(std::string& text) const;

  // DecodeChunks on the bytes after the first *taken of m_RawStream, which
  // stay where they are; *taken grows by what the decoder used.
  int DecodeBufferedChunks(unsigned int* taken);
  // The decoder's sink: the body's sink on the client.
  static int StoreChunkData(void* client, const char* data, unsigned int length);
};

#endif
