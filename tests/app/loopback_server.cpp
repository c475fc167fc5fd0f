#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace reader::testing {
namespace {

// Bounds that keep a confused client from holding a test: a request must arrive within this time.
constexpr int kPollMillis = 50;
constexpr int kRequestMillis = 5000;
constexpr std::size_t kMaxRequestBytes = 1 << 20;

void sendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

LoopbackServer::LoopbackServer(std::string page) : page_(std::move(page)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  where.sin_port = 0;
  socklen_t length = sizeof where;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
    ::close(listener_);
    throw std::runtime_error("bind/listen on 127.0.0.1");
  }
  port_ = ntohs(where.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LoopbackServer::address(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::requestLines() const {
  std::lock_guard lock(mutex_);
  return requestLines_;
}

void LoopbackServer::serve() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, kPollMillis) <= 0) continue;
    int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    answer(connection);
    ::close(connection);
  }
}

void LoopbackServer::answer(int connection) {
  std::string request;
  int waited = 0;
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes &&
         waited < kRequestMillis && !stopping_) {
    pollfd readable{connection, POLLIN, 0};
    if (::poll(&readable, 1, kPollMillis) <= 0) {
      waited += kPollMillis;
      continue;
    }
    char buffer[4096];
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard lock(mutex_);
    requestLines_.push_back(request.substr(0, request.find("\r\n")));
  }
  sendAll(connection, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                          std::to_string(page_.size()) + "\r\nConnection: close\r\n\r\n" + page_);
}

}  // namespace reader::testing
