#include "self_signed_tls_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace reader::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Runs openssl with the given arguments, its output thrown away; -1 when it cannot be started.
pid_t startOpenssl(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::string program = "openssl";
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  const int failed = posix_spawnp(&child, "openssl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? child : -1;
}

// Waits up to `limit` for the child to end; true with a zero exit status.
bool finishedWell(pid_t child, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  int status = 0;
  while (Clock::now() < until) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::this_thread::sleep_for(10ms);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return false;
}

// A port that was free a moment ago on 127.0.0.1.
int freeLoopbackPort() {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  int port = 0;
  if (::bind(probe, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&where), &size) == 0)
    port = ntohs(where.sin_port);
  ::close(probe);
  return port;
}

bool accepting(int port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  where.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
  ::close(probe);
  return connected;
}

}  // namespace

SelfSignedTlsServer::SelfSignedTlsServer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "reader-tls-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    problem_ = "cannot make a temporary folder";
    return;
  }
  folder_ = pattern;
  const std::string key = folder_ + "/key.pem";
  const std::string certificate = folder_ + "/cert.pem";

  const pid_t maker = startOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                    "-nodes", "-keyout", key, "-out", certificate, "-days", "1", "-subj",
                                    "/CN=127.0.0.1"});
  if (maker < 0 || !finishedWell(maker, 20s)) {
    problem_ = "openssl could not make a certificate";
    return;
  }

  port_ = freeLoopbackPort();
  server_ = startOpenssl({"s_server", "-accept", "127.0.0.1:" + std::to_string(port_), "-cert", certificate,
                          "-key", key, "-www", "-quiet"});
  if (server_ < 0) {
    problem_ = "openssl s_server could not be started";
    return;
  }
  const auto until = Clock::now() + 10s;
  while (Clock::now() < until && !accepting(port_)) std::this_thread::sleep_for(20ms);
  ready_ = accepting(port_);
  if (!ready_) problem_ = "openssl s_server did not begin listening on 127.0.0.1:" + std::to_string(port_);
}

SelfSignedTlsServer::~SelfSignedTlsServer() {
  if (server_ > 0) {
    ::kill(server_, SIGTERM);
    int status = 0;
    const auto until = Clock::now() + 5s;
    while (::waitpid(server_, &status, WNOHANG) == 0) {
      if (Clock::now() > until) {
        ::kill(server_, SIGKILL);
        ::waitpid(server_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

}  // namespace reader::testing
