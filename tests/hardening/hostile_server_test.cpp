// The fetch against servers that misbehave on purpose, on 127.0.0.1. Each ends within its limits with the
// result a fetch defines: the whole body, the part that arrived before the failure, or nothing. The plain
// cases (a stall after the head, a steady trickle, the body cap, redirect loops and schemes, an untrusted
// certificate, a body shorter than announced) are the fetch tests' own; these are the ones left over.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fetch/fetch_page.h"
#include "fetch/fetch_fixture.h"
#include "fetch/loopback_http_server.h"
#include "fetch/self_signed_tls_server.h"

namespace reader {
namespace {

using namespace std::chrono_literals;
using testing::httpResponse;
using testing::LoopbackHttpServer;
using testing::pauseFor;
using testing::RecordedRequest;
using testing::Reply;
using testing::sendBytes;
using testing::trickledReply;

using HostileServerTest = testing::LoopbackFetchTest;

// Bytes in a pattern that a lost or shifted piece would break.
std::string patterned(std::size_t size, std::size_t from = 0) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(((from + i) * 13 + (from + i) / 256) & 0xFF);
  return bytes;
}

// A reply that goes on sending long after any reader would stop: `pieces` pieces of 64 KiB after the head.
Reply endlessReply(const std::string& head, bool chunked, std::size_t pieces) {
  constexpr std::size_t kPiece = 64 * 1024;
  Reply reply{sendBytes(head)};
  for (std::size_t i = 0; i < pieces; ++i) {
    std::string piece = patterned(kPiece, i * kPiece);
    if (chunked) piece = "10000\r\n" + piece + "\r\n";
    reply.push_back(sendBytes(std::move(piece)));
  }
  return reply;
}

TEST_F(HostileServerTest, ServerSlowerThanAByteASecondIsCutOffWithWhatArrived) {
  // One byte every three seconds: below the least rate over a two-second window, so the stall limit ends
  // the fetch after a byte or two; left alone the page would take half a minute.
  FetchLimits limits = quickLimits();
  limits.stallSeconds = 2;
  const std::string page = "a page that never finishes";
  LoopbackHttpServer server([&](const RecordedRequest&) { return trickledReply(page.substr(0, 11), 3s); });

  const FetchOutcome outcome = fetch(server.address("/slow"), limits);

  EXPECT_NE(outcome.failure, "");
  EXPECT_FALSE(outcome.body.empty());
  EXPECT_LT(outcome.body.bytes().size(), 4u);
  EXPECT_EQ(page.rfind(outcome.body.bytes(), 0), 0u) << outcome.body.bytes();
}

TEST_F(HostileServerTest, EndlessBodyStopsAtTheCapInEveryFraming) {
  // 16 MiB offered against a 1 MiB cap, in each way a body can be framed; the reader keeps exactly the cap.
  FetchLimits limits = quickLimits();
  limits.maxBodyBytes = std::size_t{1} << 20;
  struct Case {
    const char* name;
    std::string head;
    bool chunked;
  };
  const Case cases[] = {
      {"until the server closes", "HTTP/1.0 200 OK\r\n\r\n", false},
      {"announcing a petabyte", "HTTP/1.0 200 OK\r\nContent-Length: 1125899906842624\r\n\r\n", false},
      {"in chunks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) { return endlessReply(c.head, c.chunked, 256); });

    const FetchOutcome outcome = fetch(server.address("/endless"), limits);

    ASSERT_EQ(outcome.body.bytes().size(), limits.maxBodyBytes);
    EXPECT_TRUE(outcome.body.bytes() == patterned(limits.maxBodyBytes));
    EXPECT_NE(outcome.failure, "");
    EXPECT_EQ(server.connections(), 1);
  }
}

TEST_F(HostileServerTest, MalformedStatusLines) {
  // Whatever comes back in place of a status line, the fetch ends: with the body when the line can still be
  // read as HTTP, with nothing when it cannot.
  struct Case {
    const char* name;
    std::string response;
    const char* body;                 // expected; "" means nothing came back
    std::optional<bool> failureTold;  // whether a reason is given, where that is settled
  };
  const Case cases[] = {
      {"nothing at all", "", "", true},
      {"not HTTP", "hello there\r\n\r\nbody", "", true},
      {"binary", std::string("\x00\xFF\xFE\x01\r\n\r\nbody", 10), "", true},
      {"version only", "HTTP/1.0\r\n\r\nbody", "", true},
      {"status not a number", "HTTP/1.0 abc Nonsense\r\n\r\nbody", "", true},
      {"unknown version", "HTTP/7.3 200 OK\r\n\r\nbody", "", true},
      // libcurl takes a head cut short by the close as a response without a body.
      {"head never ends", "HTTP/1.0 200 OK\r\nX-Half: a", "", std::nullopt},
      {"no reason phrase", "HTTP/1.0 200\r\n\r\nbody", "body", false},
      {"bare line feeds", "HTTP/1.0 200 OK\nContent-Length: 4\n\nbody", "body", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) { return Reply{sendBytes(c.response)}; });

    const FetchOutcome outcome = fetch(server.address("/status"));

    EXPECT_EQ(outcome.body.bytes(), c.body);
    if (c.failureTold) {
      EXPECT_EQ(!outcome.failure.empty(), *c.failureTold) << outcome.failure;
    }
  }
}

TEST_F(HostileServerTest, GiganticHeadersEndTheFetchWithNothing) {
  // Ten megabytes of head before the body, as one line or as many: the client refuses the head long before
  // it is all read, and the page after it is never taken.
  const std::string body = "the body after the headers";
  std::string manyLines;
  while (manyLines.size() < 10'000'000) manyLines += "X-Filler: " + std::string(90, 'h') + "\r\n";
  struct Case {
    const char* name;
    std::string headerLines;
  };
  const Case cases[] = {
      {"one line of 10 MB", "X-Huge: " + std::string(10'000'000, 'h') + "\r\n"},
      {"100,000 lines", manyLines},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) {
      return Reply{sendBytes(httpResponse(200, c.headerLines, body, true))};
    });

    const FetchOutcome outcome = fetch(server.address("/headers"));

    EXPECT_TRUE(outcome.body.empty()) << outcome.body.bytes().size();
    EXPECT_NE(outcome.failure, "");
  }
}

TEST_F(HostileServerTest, BodyLongerThanItsContentLengthIsCutAtTheLength) {
  // The length the server announced is the body; what it sends beyond that is not the page's.
  const std::string sent = patterned(5000);
  for (std::size_t announced : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, std::size_t{4999}}) {
    SCOPED_TRACE(announced);
    LoopbackHttpServer server([&](const RecordedRequest&) {
      return Reply{
          sendBytes("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(announced) + "\r\n\r\n" + sent)};
    });

    const FetchOutcome outcome = fetch(server.address("/short"));

    EXPECT_TRUE(outcome.body.bytes() == sent.substr(0, announced));
    EXPECT_EQ(outcome.failure, "");
  }
}

TEST_F(HostileServerTest, ContentLengthThatCannotBeTrusted) {
  // A length that is no length at all ends the fetch with nothing. Lengths the client can read some way
  // (too large to hold, given twice) give some beginning of what was sent, never bytes from elsewhere.
  const std::string sent = "body-and-more";
  struct Case {
    const char* name;
    const char* headers;
    bool refused;
  };
  const Case cases[] = {
      {"negative", "Content-Length: -5\r\n", true},
      {"empty", "Content-Length: \r\n", true},
      {"beyond any size", "Content-Length: 99999999999999999999999\r\n", false},
      {"two that disagree", "Content-Length: 4\r\nContent-Length: 9\r\n", false},
      {"trailing letters", "Content-Length: 4x\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) {
      return Reply{sendBytes(std::string("HTTP/1.0 200 OK\r\n") + c.headers + "\r\n" + sent)};
    });

    const FetchOutcome outcome = fetch(server.address("/length"));

    if (c.refused) {
      EXPECT_TRUE(outcome.body.empty()) << outcome.body.bytes();
      EXPECT_NE(outcome.failure, "");
    } else {
      EXPECT_EQ(sent.rfind(outcome.body.bytes(), 0), 0u) << outcome.body.bytes();
    }
  }
}

TEST_F(HostileServerTest, RedirectsThatCannotBeFollowed) {
  // Redirects with nowhere to go, to an address that is not one, or to a TLS server nobody vouches for.
  testing::SelfSignedTlsServer untrusted;
  ASSERT_TRUE(untrusted.ready()) << untrusted.problem();
  struct Case {
    const char* name;
    std::string headers;
  };
  const Case cases[] = {
      {"no Location", ""},
      {"empty Location", "Location: \r\n"},
      {"unclosed IPv6 host", "Location: http://[::1/x\r\n"},
      {"port out of range", "Location: http://127.0.0.1:99999/x\r\n"},
      {"to an untrusted certificate",
       "Location: https://127.0.0.1:" + std::to_string(untrusted.port()) + "/\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server([&](const RecordedRequest&) {
      return Reply{sendBytes(httpResponse(302, c.headers, "moved", true))};
    });

    const FetchOutcome outcome = fetch(server.address("/start"));

    // A redirect with nowhere to go is the final response, and its body the page; the others fail.
    if (c.headers.empty() || c.headers == "Location: \r\n") {
      EXPECT_EQ(outcome.body.bytes(), "moved");
    } else {
      EXPECT_TRUE(outcome.body.empty()) << outcome.body.bytes();
      EXPECT_NE(outcome.failure, "");
    }
  }
}

TEST_F(HostileServerTest, HandshakeThatIsNeverAnsweredIsEndedByTheConnectTimeOut) {
  // An https address on a plain HTTP server, which waits for a request head that the TLS greeting never
  // completes: the handshake belongs to connecting, so the connect time-out ends it.
  LoopbackHttpServer server(
      [](const RecordedRequest&) { return Reply{sendBytes(httpResponse(200, "", "plain", true))}; });
  FetchLimits limits = quickLimits();
  limits.connectTimeoutSeconds = 2;

  const FetchOutcome outcome = fetch("https://127.0.0.1:" + std::to_string(server.port()) + "/", limits);

  EXPECT_TRUE(outcome.body.empty()) << outcome.body.bytes();
  EXPECT_NE(outcome.failure, "");
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace reader
