// An HTTPS server on 127.0.0.1 whose certificate no one vouches for: `openssl s_server` with a
// certificate made on the spot in a temporary folder. Started in the constructor, stopped in the
// destructor; every wait is bounded.
#pragma once

#include <string>
#include <sys/types.h>

namespace reader::testing {

class SelfSignedTlsServer {
 public:
  SelfSignedTlsServer();
  ~SelfSignedTlsServer();
  SelfSignedTlsServer(const SelfSignedTlsServer&) = delete;
  SelfSignedTlsServer& operator=(const SelfSignedTlsServer&) = delete;

  // False, with the reason in problem(), when openssl could not be run or never began listening.
  bool ready() const { return ready_; }
  const std::string& problem() const { return problem_; }
  int port() const { return port_; }

 private:
  std::string folder_;
  std::string problem_;
  pid_t server_ = -1;
  int port_ = 0;
  bool ready_ = false;
};

}  // namespace reader::testing
