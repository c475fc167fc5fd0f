#include "loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace reader::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// No single step of the server waits longer than this, whatever the client does.
constexpr milliseconds kLongestWait{30000};
constexpr int kPollSliceMs = 20;

// Sends everything or gives up when the client has gone.
bool sendAll(int connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

ReplyStep sendBytes(std::string bytes) { return {ReplyStep::Kind::kSend, std::move(bytes), milliseconds{0}}; }
ReplyStep pauseFor(milliseconds time) { return {ReplyStep::Kind::kPause, {}, time}; }
ReplyStep stallUntilClientLeaves() { return {ReplyStep::Kind::kStall, {}, milliseconds{0}}; }

std::string httpResponse(int status, std::string_view headerLines, std::string_view body, bool withLength) {
  std::string response = "HTTP/1.0 " + std::to_string(status) + " Scripted\r\n";
  response += headerLines;
  if (withLength) response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  response += "\r\n";
  response += body;
  return response;
}

Reply completeReply(int status, std::string_view headerLines, std::string_view body, bool withLength) {
  return {sendBytes(httpResponse(status, headerLines, body, withLength))};
}

Reply trickledReply(std::string_view body, std::chrono::milliseconds pause) {
  Reply reply{sendBytes(httpResponse(200, "", body.substr(0, 1), false))};
  for (char c : body.substr(std::min<std::size_t>(1, body.size()))) {
    reply.push_back(pauseFor(pause));
    reply.push_back(sendBytes(std::string(1, c)));
  }
  return reply;
}

LoopbackHttpServer::LoopbackHttpServer(Script script) : script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  where.sin_port = 0;
  socklen_t size = sizeof where;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
    ::close(listener_);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(where.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LoopbackHttpServer::address(std::string_view rest) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(rest);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

int LoopbackHttpServer::stallsEndedByClient() const {
  const auto until = Clock::now() + kLongestWait + milliseconds{1000};
  while (answering_ && Clock::now() < until) std::this_thread::sleep_for(milliseconds{5});
  return stallsEndedByClient_.load();
}

void LoopbackHttpServer::serve() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kPollSliceMs) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++connections_;
    // A client that stops reading must not hold the server for longer than any other wait.
    timeval sendLimit{kLongestWait.count() / 1000, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    answering_ = true;
    answer(connection);
    ::close(connection);
    answering_ = false;
  }
}

void LoopbackHttpServer::answer(int connection) {
  // The request head: everything up to the first blank line. A GET carries no body.
  RecordedRequest request;
  request.serverPort = port_;
  const auto headDeadline = Clock::now() + kLongestWait;
  while (request.raw.find("\r\n\r\n") == std::string::npos) {
    if (stopping_ || Clock::now() > headDeadline) return;
    pollfd ready{connection, POLLIN, 0};
    if (::poll(&ready, 1, kPollSliceMs) <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.raw.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t firstSpace = request.raw.find(' ');
  const std::size_t secondSpace = request.raw.find(' ', firstSpace + 1);
  if (firstSpace != std::string::npos && secondSpace != std::string::npos)
    request.target = request.raw.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(request);
  }

  for (const ReplyStep& step : script_(request)) {
    switch (step.kind) {
      case ReplyStep::Kind::kSend:
        if (!sendAll(connection, step.bytes)) return;
        break;
      case ReplyStep::Kind::kPause: {
        const auto until = Clock::now() + std::min(step.pause, kLongestWait);
        while (!stopping_ && Clock::now() < until) std::this_thread::sleep_for(milliseconds{5});
        break;
      }
      case ReplyStep::Kind::kStall: {
        // Hold the connection silent until the client closes it (reads end) or the test ends.
        const auto until = Clock::now() + kLongestWait;
        while (!stopping_ && Clock::now() < until) {
          pollfd ready{connection, POLLIN, 0};
          if (::poll(&ready, 1, kPollSliceMs) <= 0) continue;
          char buffer[256];
          if (::recv(connection, buffer, sizeof buffer, 0) <= 0) {
            ++stallsEndedByClient_;
            return;
          }
        }
        return;
      }
    }
  }
}

}  // namespace reader::testing
