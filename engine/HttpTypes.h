// Result codes, request methods, the engine's callback types and the most
// body it keeps in memory.
#ifndef ZELVORA_ENGINE_HTTPTYPES_H
#define ZELVORA_ENGINE_HTTPTYPES_H

#include <cstdint>

enum HttpError {
  HTTP_ERR_NONE = 0,
  HTTP_ERR_URL_FORMAT = 1,
  HTTP_ERR_CONNECT = 2,
  HTTP_ERR_DISCONNECTED = 3,
  HTTP_ERR_NETWORK = 4,
  HTTP_ERR_RESPONSE_FORMAT = 6,
  HTTP_ERR_BODY_TOO_LARGE = 7,
  HTTP_ERR_CHUNK_TOO_LARGE = 8,
  HTTP_ERR_SSL_SESSION = 10,
  HTTP_ERR_FILE_OPERATION = 15,
  // A download's 2xx answer gave neither a length nor chunked coding.
  HTTP_ERR_NO_BODY_LENGTH = 16
};

// Bodies kept in memory may neither be announced longer nor grow past this
// many bytes (64 MiB); past it the answer is HTTP_ERR_BODY_TOO_LARGE.
const unsigned int kMemoryBodyLimit = 67108864;

enum HttpMethod {
  HTTP_METHOD_GET = 0,
  HTTP_METHOD_POST = 1,
  HTTP_METHOD_PUT = 2,
  HTTP_METHOD_DELETE = 3,
  HTTP_METHOD_HEAD = 4,
  HTTP_METHOD_OPTIONS = 5
};

class CHttpClient;

// The texts and data handed to a callback belong to the client and are
// valid only during the call: a callback that keeps them copies them.

// Called once per response after the head (also when parsing it failed).
typedef void (*ResponseHeadCallback)(CHttpClient* client, const char* headText, void* param);
// Called for every piece of body data as received (chunk-framed, compressed).
typedef void (*ResponseDataCallback)(CHttpClient* client, const char* data, int length, void* param);
// Called during file downloads (done: body bytes received) and uploads
// (done: file bytes sent).
typedef void (*ProgressCallback)(CHttpClient* client, uint64_t total, uint64_t done, void* param);

#endif
