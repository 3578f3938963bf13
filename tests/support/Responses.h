// Whole responses as a scripted server sends them, for test fixtures.
// `headers` are extra lines, each ended by "\r\n"; the framing header follows
// them, then the empty line. For the chunk framing of a body alone, see
// Chunked in BodyCoding.h.
#ifndef ZELVORA_TESTS_SUPPORT_RESPONSES_H
#define ZELVORA_TESTS_SUPPORT_RESPONSES_H

#include <cstddef>
#include <string>

#include "support/BodyCoding.h"

// `status` is the status line after "HTTP/1.1 ", e.g. "206 Partial Content".
inline std::string Response(const std::string& status, const std::string& headers,
                            const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string Ok(const std::string& body, const std::string& headers = "") {
  return Response("200 OK", headers, body);
}

// A response with Transfer-Encoding: chunked whose body `framed` is sent as
// it is: already chunk-framed, or cut short or damaged on purpose.
inline std::string ChunkedResponse(const std::string& status, const std::string& headers,
                                   const std::string& framed) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "Transfer-Encoding: chunked\r\n\r\n" + framed;
}

// A head of exactly `size` bytes and a length of 0: the status line, one
// long header, the empty line.
inline std::string LongHead(size_t size) {
  const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Fill: ";
  const std::string end = "\r\n\r\n";
  return start + std::string(size - start.size() - end.size(), 'f') + end;
}

// A 200 whose body goes in chunks of `piece` bytes, with the last chunk.
inline std::string ChunkedOk(const std::string& body, const std::string& headers = "",
                             size_t piece = 700) {
  return ChunkedResponse("200 OK", headers, Chunked(body, piece));
}

#endif
