// Pieces of a raw request recorded by the scripted servers, for assertions
// and for computed replies (e.g. answering a Range header); and the header
// lines every request carries, for expected requests.
#ifndef ZELVORA_TESTS_SUPPORT_REQUESTTEXT_H
#define ZELVORA_TESTS_SUPPORT_REQUESTTEXT_H

#include <string>
#include <vector>

// The first line, without its line end.
std::string RequestLine(const std::string& request);
// Up to and with the empty line; the whole text when there is none.
std::string RequestHead(const std::string& request);
// What follows the empty line; "" when there is none.
std::string RequestBody(const std::string& request);
// Values of every header line named `name` (case-insensitive), in order,
// with the blanks around the value removed.
std::vector<std::string> RequestHeaders(const std::string& request, const std::string& name);
// The first of them, "" when there is none.
std::string RequestHeader(const std::string& request, const std::string& name);
bool RequestHasHeader(const std::string& request, const std::string& name);

// The header lines the engine adds after the caller's own when the caller
// gave none of them: Host (never with a port), Accept, Accept-Encoding and an
// empty User-Agent, each ended by "\r\n". Content-Length follows them.
std::string DefaultRequestHeaders(const std::string& host = "127.0.0.1");

#endif
