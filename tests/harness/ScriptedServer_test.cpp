#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <errno.h>

#include <string>
#include <vector>

#include "harness/RawClient.h"

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
const std::string kMissing = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";

TEST(ScriptedServerTest, AnswersRequestsOfOneConnectionAndKeepsEachConnectionsScript) {
  CScriptedServer server({{Exchange().Reply(kOk), Exchange().Reply(kMissing).ThenClose()},
                          {Exchange().Reply("second connection").ThenClose()}});
  ASSERT_TRUE(server.IsListening());

  // Both requests in one write: the second, with its body, must stay
  // buffered for the second exchange.
  const std::string get = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string post = "POST /b HTTP/1.1\r\ncontent-length: 4\r\n\r\nbody";
  {
    CRawClient client(server.Port());
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(client.Send(get + post));
    int end = -1;
    EXPECT_EQ(client.ReadToEnd(&end), kOk + kMissing);
    EXPECT_EQ(end, 0);
  }
  {
    CRawClient client(server.Port());
    ASSERT_TRUE(client.Send("GET /c HTTP/1.1\r\n\r\n"));
    int end = -1;
    EXPECT_EQ(client.ReadToEnd(&end), "second connection");
  }
  server.Stop();

  EXPECT_EQ(server.Requests(), (std::vector<std::string>{get, post, "GET /c HTTP/1.1\r\n\r\n"}));
  EXPECT_EQ(server.ConnectionCount(), 2);
  std::vector<CConnectionRecord> connections = server.Connections();
  ASSERT_EQ(connections.size(), 2u);
  EXPECT_EQ(connections[0].m_Requests, (std::vector<std::string>{get, post}));
  EXPECT_EQ(server.Url("/x"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/x");
}

TEST(ScriptedServerTest, ClientSeesHowTheConnectionEnds) {
  struct {
    const char* name;
    CExchange exchange;
    int expectedEnd;
  } cases[] = {
      {"close", Exchange().Send("bye").Close(), 0},
      {"reset", Exchange().Reset(), ECONNRESET},
      {"shutdown write", Exchange().Send("bye").ShutdownWrite(), 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server({{c.exchange}});
    CRawClient client(server.Port());
    ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\n\r\n"));
    int end = -1;
    std::string got = client.ReadToEnd(&end);
    EXPECT_EQ(end, c.expectedEnd);
    if (c.expectedEnd == 0) {
      EXPECT_EQ(got, "bye");
    }
  }
}

TEST(ScriptedServerTest, CloseWithUnreadInputStillEndsWithFin) {
  // The client sends more than the exchange reads; the close must not turn
  // into a reset that could cost the client the reply.
  CScriptedServer server({{Exchange().ReadBytes(3).SendAndClose("answer")}});
  CRawClient client(server.Port());
  ASSERT_TRUE(client.Send("abc" + std::string(100000, 'x')));
  int end = -1;
  EXPECT_EQ(client.ReadToEnd(&end), "answer");
  EXPECT_EQ(end, 0);
}

TEST(ScriptedServerTest, HalfClosedServerKeepsReading) {
  CScriptedServer server({{Exchange().Send("early").ShutdownWrite(), Exchange().ReadRequest()}});
  CRawClient client(server.Port());
  ASSERT_TRUE(client.Send("first\r\n\r\n"));
  int end = -1;
  EXPECT_EQ(client.ReadToEnd(&end), "early");
  ASSERT_TRUE(client.Send("second\r\n\r\n"));
  EXPECT_TRUE(server.WaitForRequests(2));
  EXPECT_EQ(server.Request(1), "second\r\n\r\n");
}

TEST(ScriptedServerTest, PauseHoldsBackTheRest) {
  const std::string head = "HTTP/1.1 200 OK\r\n";
  CScriptedServer server({{Exchange().Send(head).Pause(1000).SendAndClose("rest")}});
  CRawClient client(server.Port());
  ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.ReadExactly(head.size()), head);
  EXPECT_FALSE(client.Readable(100));
  int end = -1;
  EXPECT_EQ(client.ReadToEnd(&end), "rest");
}

TEST(ScriptedServerTest, ReadModesSplitTheInputAsAsked) {
  CScriptedServer server({{Exchange().ReadHeadOnly().Reply("continue;"), Exchange().ReadBytes(4).Reply("four;"),
                           Exchange().ReadUntilClose().SendAndClose("done")}});
  CRawClient client(server.Port());
  ASSERT_TRUE(client.Send("PUT / HTTP/1.1\r\nContent-Length: 9\r\n\r\n"));
  EXPECT_EQ(client.ReadExactly(9), "continue;");
  ASSERT_TRUE(client.Send("1234tail"));
  EXPECT_EQ(client.ReadExactly(5), "four;");
  ASSERT_TRUE(client.Send("more"));
  client.ShutdownWrite();
  int end = -1;
  EXPECT_EQ(client.ReadToEnd(&end), "done");
  server.Stop();
  EXPECT_EQ(server.Requests(),
            (std::vector<std::string>{"PUT / HTTP/1.1\r\nContent-Length: 9\r\n\r\n", "1234", "tailmore"}));
}

TEST(ScriptedServerTest, RepeatingAndComputedServersAnswerEveryRequest) {
  CScriptedServer always(CServerScript::AlwaysReply(kOk));
  CScriptedServer computed(CServerScript::ComputedReply([](const std::string& request) {
    std::string line = request.substr(0, request.find("\r\n"));
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(line.size()) + "\r\n\r\n" + line;
  }));
  for (int connection = 0; connection < 2; ++connection) {
    CRawClient plain(always.Port());
    CRawClient echo(computed.Port());
    for (int i = 0; i < 2; ++i) {
      std::string request = "GET /" + std::to_string(i) + " HTTP/1.1\r\n\r\n";
      ASSERT_TRUE(plain.Send(request));
      EXPECT_EQ(plain.ReadExactly(kOk.size()), kOk);
      ASSERT_TRUE(echo.Send(request));
      std::string line = request.substr(0, request.find("\r\n"));
      std::string echoed = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(line.size()) + "\r\n\r\n" + line;
      EXPECT_EQ(echo.ReadExactly(echoed.size()), echoed);
    }
  }
  always.Stop();
  computed.Stop();
  EXPECT_EQ(always.ConnectionCount(), 2);
  EXPECT_EQ(always.RequestCount(), 4u);
  EXPECT_EQ(computed.RequestCount(), 4u);
}

TEST(ScriptedServerTest, OffScriptAndCutShortRequestsAreRecorded) {
  CScriptedServer server({{Exchange().Reply(kOk)}});
  {
    // After its script the connection waits; a further request is recorded
    // and answered with a close.
    CRawClient client(server.Port());
    ASSERT_TRUE(client.Send("GET /1 HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(client.ReadExactly(kOk.size()), kOk);
    ASSERT_TRUE(client.Send("GET /2 HTTP/1.1\r\n\r\n"));
    int end = -1;
    EXPECT_EQ(client.ReadToEnd(&end), "");
    EXPECT_EQ(end, 0);
  }
  {
    CRawClient client(server.Port());
    ASSERT_TRUE(client.Send("POST /upload HTTP/1.1\r\nContent-Length: 100\r\n\r\npartial"));
  }
  ASSERT_TRUE(server.WaitForRequests(3));
  ASSERT_TRUE(server.WaitForIdle());
  EXPECT_EQ(server.Request(1), "GET /2 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(server.Request(2), "POST /upload HTTP/1.1\r\nContent-Length: 100\r\n\r\npartial");
  EXPECT_TRUE(server.Connections()[1].m_PeerClosed);
}

TEST(ScriptedServerTest, StopsWhileAClientStaysSilent) {
  CRawClient* client = nullptr;
  {
    CScriptedServer server({{Exchange().Reply(kOk)}});
    client = new CRawClient(server.Port());
    ASSERT_TRUE(server.WaitForConnections(1));
  }  // must return at once, not after the I/O limit
  delete client;
}

}  // namespace
