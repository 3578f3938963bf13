// The requests of one run, set up the same way by both drivers before their
// first request: the headers the run adds, the post data every request
// sends, and the text the engine fills with an answer's body.
#ifndef ZELVORA_FRONTEND_RUNREQUESTS_H
#define ZELVORA_FRONTEND_RUNREQUESTS_H

#include <string>

class CHttpClient;
class CImpBroxCmd;

class CRunRequests {
 public:
  // Takes the post data of -d from cmd. A batch asks the server to keep the
  // connection for the next file: "Connection: Keep-Alive" joins the
  // client's request headers (a header of -h by that name keeps its value).
  CRunRequests(CHttpClient& client, const CImpBroxCmd& cmd);
  CRunRequests(const CRunRequests&) = delete;
  CRunRequests& operator=(const CRunRequests&) = delete;

  // Downloads url into path with the post data (a POST when there is any),
  // keeping the bytes as sent under -origin. The client's result.
  int Download(const std::string& url, const std::string& path);

  // The post data of -d (GetPostData): the same for every request.
  const char* m_PostData;
  int m_PostLength;
  // The engine's response text: the body of an answer it did not store (an
  // error page, a body held in memory). Never shown from here: a body on the
  // console is taken from the client.
  std::string m_Response;

 private:
  CHttpClient& m_Client;
  const int m_KeepOrigin;
};

#endif
