// The page fetch against real servers on 127.0.0.1: what goes out on the wire, what comes back, and how
// each kind of failure ends.
#include "fetch/fetch_page.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fetch_fixture.h"
#include "loopback_http_server.h"
#include "self_signed_tls_server.h"

namespace reader {
namespace {

using namespace std::chrono_literals;
using testing::completeReply;
using testing::httpResponse;
using testing::LoopbackHttpServer;
using testing::pauseFor;
using testing::RecordedRequest;
using testing::Reply;
using testing::sendBytes;
using testing::stallUntilClientLeaves;
using testing::trickledReply;

constexpr const char* kAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n";

using FetchTest = testing::LoopbackFetchTest;

// A script that answers by request target; anything else gets a 404 the tests never expect.
LoopbackHttpServer::Script routes(std::map<std::string, Reply> table) {
  return [table = std::move(table)](const RecordedRequest& request) {
    const auto found = table.find(request.target);
    return found != table.end() ? found->second : completeReply(404, "", "no route");
  };
}

// Every byte value, 0x00 included, in a pattern that a lost, doubled or misplaced piece would break.
std::string patternedBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return body;
}

bool hasHeader(const RecordedRequest& request, const std::string& name) {
  return request.raw.find("\r\n" + name + ":") != std::string::npos;
}

// --- The request ---

TEST_F(FetchTest, RequestIsOneHttp10GetWithAgentAndAcceptOnly) {
  LoopbackHttpServer server([](const RecordedRequest&) { return completeReply(200, "", "page"); });

  const FetchOutcome outcome = fetch(server.address("/a/b.html?x=1#part"));

  EXPECT_EQ(outcome.body.bytes(), "page");
  EXPECT_EQ(outcome.failure, "");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].raw, "GET /a/b.html?x=1 HTTP/1.0\r\n"
                             "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n" +
                                 kAgentLine + "Accept: */*\r\n\r\n");
}

TEST_F(FetchTest, AddressBecomesTheRequestTarget) {
  struct Case {
    const char* scheme;
    const char* typed;  // after the host and port
    const char* sent;
  };
  const Case cases[] = {
      {"http", "/a/b.html?x=1#part", "/a/b.html?x=1"},
      {"http", "/p?q=1#a#b", "/p?q=1"},
      {"http", "/#only", "/"},
      {"http", "", "/"},
      {"http", "/a b/c d.html?k=x y#f g", "/a%20b/c%20d.html?k=x%20y"},
      // "中文" and "国" in code page 936: %XX in the path, as typed in the query.
      {"http", "/\xD6\xD0\xCE\xC4.html?q=\xB9\xFA", "/%D6%D0%CE%C4.html?q=\xB9\xFA"},
      // A character whose second byte is "\": only the first byte is above 127.
      {"http", "/\x95\x5C.html?\x95\x5C", "/%95\x5C.html?\x95\x5C"},
      {"http", "?q=\xD6\xD0", "/?q=\xD6\xD0"},
      {"HTTP", "/upper", "/upper"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    LoopbackHttpServer server([](const RecordedRequest&) { return completeReply(200, "", "page"); });
    const std::string address =
        std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.port()) + c.typed;

    const FetchOutcome outcome = fetch(address);

    EXPECT_EQ(outcome.body.bytes(), "page");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, c.sent);
  }
}

TEST_F(FetchTest, AddressesThatAreNotHttpOrHttpsAreNeverSent) {
  LoopbackHttpServer server([](const RecordedRequest&) { return completeReply(200, "", "page"); });
  const std::string hostAndPort = "127.0.0.1:" + std::to_string(server.port());
  const std::string addresses[] = {
      "",
      hostAndPort + "/x",  // no scheme: nothing may be guessed
      "//" + hostAndPort + "/x",
      "ftp://" + hostAndPort + "/x",
      "gopher://" + hostAndPort + "/x",
      "httpx://" + hostAndPort + "/x",
      "file:///etc/passwd",
  };
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address);
    const FetchOutcome outcome = fetch(address);
    EXPECT_TRUE(outcome.body.empty());
    EXPECT_NE(outcome.failure, "");
    EXPECT_TRUE(fetchPage(GbkText(address)).empty());
  }
  EXPECT_EQ(server.connections(), 0);
}

// --- The response ---

TEST_F(FetchTest, StatusIsNeverExamined) {
  for (int status : {404, 500}) {
    SCOPED_TRACE(status);
    const std::string page = "<html>error page " + std::to_string(status) + "</html>";
    LoopbackHttpServer server([&](const RecordedRequest&) { return completeReply(status, "", page); });

    const FetchOutcome outcome = fetch(server.address("/missing.html"));

    EXPECT_EQ(outcome.body.bytes(), page);
    EXPECT_EQ(outcome.failure, "");
  }
}

TEST_F(FetchTest, WholeBodiesComeBackAtEverySize) {
  const std::size_t sizes[] = {0, 1, 10239, 10240, 10241, 102399, 102400, 102401, 300000};
  std::map<std::string, Reply> table;
  for (std::size_t size : sizes) {
    table["/" + std::to_string(size) + "/with-length"] = completeReply(200, "", patternedBody(size), true);
    table["/" + std::to_string(size) + "/until-close"] = completeReply(200, "", patternedBody(size), false);
  }
  LoopbackHttpServer server(routes(std::move(table)));

  for (std::size_t size : sizes) {
    for (const char* ending : {"/with-length", "/until-close"}) {
      SCOPED_TRACE(std::to_string(size) + ending);
      const FetchOutcome outcome = fetch(server.address("/" + std::to_string(size) + ending));
      EXPECT_EQ(outcome.failure, "");
      EXPECT_EQ(outcome.body.bytes().size(), size);
      EXPECT_TRUE(outcome.body.bytes() == patternedBody(size));
    }
  }
}

// --- Redirects ---

TEST_F(FetchTest, RedirectsAreFollowedToTheFinalBody) {
  for (int status : {301, 302, 303, 307, 308}) {
    SCOPED_TRACE(status);
    LoopbackHttpServer server([status](const RecordedRequest& request) {
      if (request.target == "/start")
        return completeReply(status,
                             "Location: http://127.0.0.1:" + std::to_string(request.serverPort) + "/middle\r\n",
                             "moved");
      if (request.target == "/middle") return completeReply(status, "Location: /final?x=1\r\n", "moved again");
      return completeReply(200, "", "final page");
    });

    const FetchOutcome outcome = fetch(server.address("/start"));

    EXPECT_EQ(outcome.body.bytes(), "final page");
    EXPECT_EQ(outcome.failure, "");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].target, "/middle");
    EXPECT_EQ(requests[2].target, "/final?x=1");
    for (const RecordedRequest& request : requests) EXPECT_FALSE(hasHeader(request, "Referer"));
  }
}

TEST_F(FetchTest, RedirectsEndAfterTen) {
  // /hop/n redirects to /hop/n-1; /hop/0 is the page. A loop redirects to itself.
  LoopbackHttpServer server([](const RecordedRequest& request) {
    if (request.target == "/loop") return completeReply(302, "Location: /loop\r\n", "again");
    const int left = std::atoi(request.target.c_str() + 5);
    if (left == 0) return completeReply(200, "", "arrived");
    return completeReply(302, "Location: /hop/" + std::to_string(left - 1) + "\r\n", "on");
  });
  struct Case {
    const char* start;
    const char* body;
    std::size_t requests;
  };
  const Case cases[] = {{"/hop/10", "arrived", 11}, {"/hop/11", "", 11}, {"/loop", "", 11}};
  std::size_t before = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    const FetchOutcome outcome = fetch(server.address(c.start));
    EXPECT_EQ(outcome.body.bytes(), c.body);
    EXPECT_EQ(outcome.failure.empty(), *c.body != '\0');
    EXPECT_EQ(server.requests().size() - before, c.requests);
    before = server.requests().size();
  }
}

TEST_F(FetchTest, RedirectsToOtherSchemesAreNotFollowed) {
  for (const char* target : {"file:///etc/passwd", "ftp://127.0.0.1:PORT/x", "gopher://127.0.0.1:PORT/x"}) {
    SCOPED_TRACE(target);
    LoopbackHttpServer server([target](const RecordedRequest& request) {
      std::string location = target;
      if (const auto port = location.find("PORT"); port != std::string::npos)
        location.replace(port, 4, std::to_string(request.serverPort));
      return completeReply(302, "Location: " + location + "\r\n", "moved");
    });

    const FetchOutcome outcome = fetch(server.address("/start"));

    EXPECT_TRUE(outcome.body.empty());
    EXPECT_NE(outcome.failure, "");
    EXPECT_EQ(server.connections(), 1);
  }
}

// --- Broken, slow and endless responses ---

TEST_F(FetchTest, BrokenReadReturnsThePartReceived) {
  const std::string part = patternedBody(4000);
  struct Case {
    const char* name;
    Reply reply;
  };
  const Case cases[] = {
      {"announced length", {sendBytes(httpResponse(200, "Content-Length: 10000\r\n", part, false))}},
      {"chunked", {sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfa0\r\n" + part + "\r\n")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) { return c.reply; });

    const FetchOutcome outcome = fetch(server.address("/page"));

    EXPECT_TRUE(outcome.body.bytes() == part);
    EXPECT_NE(outcome.failure, "");
  }
}

TEST_F(FetchTest, StalledServerGivesWhatArrivedBeforeTheStall) {
  FetchLimits limits = quickLimits();
  limits.stallSeconds = 1;
  for (std::size_t before : {std::size_t{0}, std::size_t{3000}}) {
    SCOPED_TRACE(before);
    const std::string part = patternedBody(before);
    LoopbackHttpServer server([&](const RecordedRequest&) {
      return Reply{sendBytes(httpResponse(200, "Content-Length: 100000\r\n", part, false)),
                   stallUntilClientLeaves()};
    });

    const FetchOutcome outcome = fetch(server.address("/page"), limits);

    EXPECT_TRUE(outcome.body.bytes() == part);
    EXPECT_NE(outcome.failure, "");
    EXPECT_EQ(server.stallsEndedByClient(), 1);  // the reader gave up, the server did not hang up
  }
}

TEST_F(FetchTest, SlowButSteadyServerIsReadToTheEnd) {
  // Five bytes a second for longer than the stall window: slow, never silent, so the page comes whole.
  // The first byte travels with the head: libcurl measures speed once a second, and a measurement taken
  // before any byte arrived would otherwise count as a silent second.
  FetchLimits limits = quickLimits();
  limits.stallSeconds = 2;
  const std::string page = "trickled page.";
  LoopbackHttpServer server([&](const RecordedRequest&) { return trickledReply(page, 200ms); });

  const FetchOutcome outcome = fetch(server.address("/page"), limits);

  EXPECT_EQ(outcome.body.bytes(), page);
  EXPECT_EQ(outcome.failure, "");
}

TEST_F(FetchTest, ConnectTimeOutEndsAFetchThatCannotConnect) {
  // A listener whose queue of waiting connections is full: the kernel leaves further attempts unanswered.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&where), &size), 0);
  const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);

  FetchLimits limits = quickLimits();
  limits.connectTimeoutSeconds = 1;
  const FetchOutcome outcome =
      fetch("http://127.0.0.1:" + std::to_string(ntohs(where.sin_port)) + "/page", limits);

  EXPECT_TRUE(outcome.body.empty());
  // libcurl says "Timeout was reached" or "timed out"; a refused connection or a stall says neither.
  const bool timedOut = outcome.failure.find("Timeout") != std::string::npos ||
                        outcome.failure.find("timed out") != std::string::npos;
  EXPECT_TRUE(timedOut) << outcome.failure;
  ::close(filler);
  ::close(listener);
}

TEST_F(FetchTest, BodyStopsAtTheCap) {
  FetchLimits limits = quickLimits();
  limits.maxBodyBytes = 50000;
  struct Case {
    std::size_t size;
    bool withLength;
    bool capped;
  };
  const Case cases[] = {{300000, true, true}, {300000, false, true}, {50001, true, true},
                        {50000, true, false}, {50000, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + (c.withLength ? " with length" : " until close"));
    const std::string page = patternedBody(c.size);
    LoopbackHttpServer server([&](const RecordedRequest&) { return completeReply(200, "", page, c.withLength); });

    const FetchOutcome outcome = fetch(server.address("/big"), limits);

    EXPECT_TRUE(outcome.body.bytes() == page.substr(0, 50000));
    EXPECT_EQ(outcome.failure.empty(), !c.capped) << outcome.failure;
  }
}

// --- Client state across fetches ---

TEST_F(FetchTest, CookiesGoBackOnTheNextFetch) {
  LoopbackHttpServer server(routes({
      {"/cookie/set", completeReply(200, "Set-Cookie: session=abc123; Path=/cookie\r\n", "set")},
      {"/cookie/check", completeReply(200, "", "checked")},
  }));

  EXPECT_EQ(fetchPage(GbkText(server.address("/cookie/set"))).bytes(), "set");
  EXPECT_EQ(fetchPage(GbkText(server.address("/cookie/check"))).bytes(), "checked");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(hasHeader(requests[0], "Cookie"));
  EXPECT_NE(requests[1].raw.find("\r\nCookie: session=abc123\r\n"), std::string::npos) << requests[1].raw;
}

TEST_F(FetchTest, CredentialsGoOutOnlyWhenTheServerAsks) {
  const std::string granted = "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n";  // user:secret
  for (bool challenges : {true, false}) {
    SCOPED_TRACE(challenges ? "server asks" : "server does not ask");
    LoopbackHttpServer server([&](const RecordedRequest& request) {
      if (request.raw.find(granted) != std::string::npos) return completeReply(200, "", "welcome");
      if (challenges) return completeReply(401, "WWW-Authenticate: Basic realm=\"reader\"\r\n", "denied");
      return completeReply(200, "", "open page");
    });

    const FetchOutcome outcome = fetch(server.address("/private").replace(0, 7, "http://user:secret@"));

    EXPECT_EQ(outcome.body.bytes(), challenges ? "welcome" : "open page");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), challenges ? 2u : 1u);
    EXPECT_FALSE(hasHeader(requests[0], "Authorization"));
    if (challenges) {
      EXPECT_NE(requests[1].raw.find(granted), std::string::npos);
    }
  }
}

// --- HTTPS ---

TEST_F(FetchTest, UntrustedCertificateFailsTheFetch) {
  testing::SelfSignedTlsServer server;
  ASSERT_TRUE(server.ready()) << server.problem();

  const FetchOutcome outcome = fetch("https://127.0.0.1:" + std::to_string(server.port()) + "/");

  EXPECT_TRUE(outcome.body.empty());
  EXPECT_NE(outcome.failure.find("certificate"), std::string::npos) << outcome.failure;
}

}  // namespace
}  // namespace reader
