// A scripted HTTP server on 127.0.0.1 for the fetch tests.
//
// One thread accepts connections on an ephemeral port, one at a time. For each it reads the request head,
// records its exact bytes, asks the script for a reply and plays the reply's steps: bytes to send, pauses,
// or a stall that holds the connection open until the client gives up. The connection is closed after the
// last step. Every wait is bounded, so a test that goes wrong fails instead of hanging.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace reader::testing {

struct ReplyStep {
  enum class Kind { kSend, kPause, kStall };
  Kind kind = Kind::kSend;
  std::string bytes;                   // kSend
  std::chrono::milliseconds pause{0};  // kPause
};
using Reply = std::vector<ReplyStep>;

ReplyStep sendBytes(std::string bytes);
ReplyStep pauseFor(std::chrono::milliseconds time);
ReplyStep stallUntilClientLeaves();

// A whole response: status line, the given header lines (each ending in CR LF), Content-Length when
// withLength, a blank line, the body.
std::string httpResponse(int status, std::string_view headerLines, std::string_view body, bool withLength);
Reply completeReply(int status, std::string_view headerLines, std::string_view body, bool withLength = true);
// A 200 response without Content-Length whose body's first byte travels with the head and every later
// byte follows after `pause`.
Reply trickledReply(std::string_view body, std::chrono::milliseconds pause);

struct RecordedRequest {
  std::string raw;     // the request head exactly as received, blank line included
  std::string target;  // the second word of the request line
  int serverPort = 0;  // the port it came in on, for replies that name the server itself
};

class LoopbackHttpServer {
 public:
  using Script = std::function<Reply(const RecordedRequest&)>;

  explicit LoopbackHttpServer(Script script);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by rest.
  std::string address(std::string_view rest) const;

  std::vector<RecordedRequest> requests() const;
  int connections() const { return connections_.load(); }
  // Stalls that ended because the client closed the connection (not because the server's bound ran out).
  // Waits, bounded, for the connection in hand to be done with, so the count is settled when read.
  int stallsEndedByClient() const;

 private:
  void serve();
  void answer(int connection);

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> stallsEndedByClient_{0};
  std::atomic<bool> answering_{false};
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
  std::thread thread_;
};

}  // namespace reader::testing
