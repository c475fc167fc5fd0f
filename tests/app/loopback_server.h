// A tiny HTTP server on 127.0.0.1 for the window's tests. It runs on its own thread because a Read
// fetches synchronously on the window's thread. Every connection gets the same page; the request
// lines are kept so a test can see exactly which bytes the reader sent.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reader::testing {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string page);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // "http://127.0.0.1:<port>" followed by path (which should begin with "/").
  std::string address(const std::string& path) const;
  // The first line of every request received so far, e.g. "GET /a.html HTTP/1.0".
  std::vector<std::string> requestLines() const;

 private:
  void serve();
  void answer(int connection);

  std::string page_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requestLines_;
  std::thread thread_;
};

}  // namespace reader::testing
