// A page served on 127.0.0.1 for the window's tests: the fetch tests' loopback server, answering every
// request with the same page. It runs on its own thread because a Read fetches synchronously on the
// window's thread; the request lines are kept so a test can see exactly which bytes the reader sent.
#pragma once

#include <string>
#include <vector>

#include "fetch/loopback_http_server.h"

namespace reader::testing {

class LoopbackServer {
 public:
  explicit LoopbackServer(std::string page)
      : server_([page = std::move(page)](const RecordedRequest&) {
          return completeReply(200, "Content-Type: text/html\r\nConnection: close\r\n", page);
        }) {}

  // "http://127.0.0.1:<port>" followed by path (which should begin with "/").
  std::string address(const std::string& path) const { return server_.address(path); }

  // The first line of every request received so far, e.g. "GET /a.html HTTP/1.0".
  std::vector<std::string> requestLines() const {
    std::vector<std::string> lines;
    for (const RecordedRequest& request : server_.requests()) lines.push_back(request.raw.substr(0, request.raw.find("\r\n")));
    return lines;
  }

 private:
  LoopbackHttpServer server_;
};

}  // namespace reader::testing
