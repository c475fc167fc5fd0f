// The reader fetching real pages from nginx on loopback, the way a user reads a page by its address.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "byte_helpers.h"
#include "run_program.h"

namespace reader {
namespace {

namespace fs = std::filesystem;
using testing::runProgram;

const std::string Reader = ARTICLE_EXTRACT;

// A free port on 127.0.0.1, as the kernel hands one out.
int freePort() {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);
  return ntohs(address.sin_port);
}

bool accepts(int port) {
  const int client = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(client);
  return connected;
}

// nginx in the foreground on 127.0.0.1, serving the corpus folder, for the life of the fixture.
class NginxServingCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/sbin/nginx")) GTEST_SKIP() << "nginx is not installed (scripts/bootstrap installs it)";
    prefix_ = fs::temp_directory_path() / ("reader-nginx-" + std::to_string(::getpid()));
    fs::create_directories(prefix_ / "logs");
    port_ = freePort();
    std::ofstream(prefix_ / "nginx.conf") << "worker_processes 1;\n"
                                          << "error_log " << (prefix_ / "logs/error.log").string() << ";\n"
                                          << "pid " << (prefix_ / "nginx.pid").string() << ";\n"
                                          << "events { worker_connections 64; }\n"
                                          << "http {\n"
                                          << "  access_log off;\n"
                                          << "  client_body_temp_path " << prefix_.string() << ";\n"
                                          << "  server {\n"
                                          << "    listen 127.0.0.1:" << port_ << ";\n"
                                          << "    root " << fs::canonical(READER_CORPUS_DIR).string() << ";\n"
                                          << "  }\n"
                                          << "}\n";
    server_ = ::fork();
    if (server_ == 0) {
      ::execl("/usr/sbin/nginx", "nginx", "-p", prefix_.c_str(), "-c", (prefix_ / "nginx.conf").c_str(), "-g",
              "daemon off; master_process off;", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int attempt = 0; attempt < 100 && !accepts(port_); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(accepts(port_)) << "nginx did not start listening";
  }

  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGTERM);
      ::waitpid(server_, nullptr, 0);
    }
    if (!prefix_.empty()) fs::remove_all(prefix_);
  }

  std::string address(const std::string& page) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + page;
  }

  fs::path prefix_;
  int port_ = 0;
  pid_t server_ = -1;
};

TEST_F(NginxServingCorpus, AnAddressReadsLikeTheSameFile) {
  for (const std::string page : {"cwce-0d931936.html", "gne-sina-4.html", "rdb-youth.html"}) {
    const auto fromFile = runProgram(Reader, {"--encoding", "gbk", std::string(READER_CORPUS_DIR) + "/" + page});
    const auto fromWeb = runProgram(Reader, {"--encoding", "gbk", address(page) + "#comments"});
    EXPECT_EQ(fromWeb.status, 0) << page << fromWeb.err;
    EXPECT_EQ(fromWeb.out, fromFile.out) << page;
    EXPECT_GT(fromWeb.out.size(), 200u) << page;
  }
}

TEST_F(NginxServingCorpus, AFailedFetchIsReportedAndTheOtherInputsRun) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(freePort()) + "/page.html";
  const auto run = runProgram(Reader, {"--json", refused, address("no-such-page.html"), address("cwce-0d931936.html")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("article-extract: " + refused + ": "), std::string::npos) << run.err;
  // A 404 page is a page like any other: it is read, not reported.
  EXPECT_EQ(run.err.find("no-such-page"), std::string::npos) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  int articles = 0;
  while (std::getline(lines, line)) ++articles;
  EXPECT_EQ(articles, 2);
}

}  // namespace
}  // namespace reader
