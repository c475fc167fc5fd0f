// Bad input to the command-line reader: every input ends as a normal article or as one clear line on
// standard error, never as a crash, a hang or a silent wrong result. Plain missing files and directories
// are the reader's own tests; these are the harder kinds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "byte_helpers.h"
#include "run_program.h"

namespace reader {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readFile;
using testing::runProgram;

const std::string Reader = ARTICLE_EXTRACT;
const std::string Fixtures = READER_FIXTURES_DIR;

// A folder of its own for each test, removed afterwards.
class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "reader-bad-input-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  fs::path folder_;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One line on standard error that names the input, nothing on standard output, status 1.
void expectOneLineAbout(const testing::ProgramRun& run, const std::string& input, const std::string& reason) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = linesOf(run.err);
  ASSERT_EQ(lines.size(), 1u) << run.err;
  EXPECT_EQ(lines[0].rfind("article-extract: " + input + ": ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
}

// A normal article in the exact-bytes form: title line, date line, empty line, body indented by four spaces.
struct Article {
  std::string title, time, body;
};
Article expectArticle(const testing::ProgramRun& run) {
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::size_t titleEnd = run.out.find('\n');
  const std::size_t timeEnd = titleEnd == std::string::npos ? titleEnd : run.out.find('\n', titleEnd + 1);
  if (timeEnd == std::string::npos || run.out.compare(timeEnd, 2, "\n\n") != 0) {
    ADD_FAILURE() << "not an article: " << testing::hex(run.out.substr(0, 64));
    return {};
  }
  Article article{run.out.substr(0, titleEnd), run.out.substr(titleEnd + 1, timeEnd - titleEnd - 1),
                  run.out.substr(timeEnd + 2)};
  EXPECT_EQ(article.body.substr(0, 4), "    ");
  return article;
}

// --- Inputs that cannot be read ---

TEST_F(BadInputTest, InputsThatCannotBeReadGetOneLineEach) {
  fs::create_directory(folder_ / "folder");
  fs::create_directory_symlink(folder_ / "folder", folder_ / "link-to-folder");
  fs::create_symlink(folder_ / "nowhere.html", folder_ / "dangling.html");
  struct Case {
    const char* name;
    std::string input;
    const char* reason;
  };
  const Case cases[] = {
      {"a link to a folder", (folder_ / "link-to-folder").string(), "is a directory"},
      {"a link to nothing", (folder_ / "dangling.html").string(), "No such file or directory"},
      {"a path through a file", Fixtures + "/gbk-article.html/x.html", "Not a directory"},
      {"a name too long", (folder_ / std::string(300, 'n')).string(), "File name too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectOneLineAbout(runProgram(Reader, {"--encoding", "gbk", c.input}), c.input, c.reason);
  }
}

TEST_F(BadInputTest, FileWithoutReadPermission) {
  const std::string page = write("private.html", readFile(Fixtures + "/gbk-article.html"));
  fs::permissions(page, fs::perms::none);
  // Root reads every file whatever its mode; the reader then runs without the two capabilities that allow it.
  std::string program = Reader;
  if (::geteuid() == 0) {
    if (std::system("setpriv --bounding-set=-dac_override,-dac_read_search true >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "running as root and setpriv cannot drop the file-reading capabilities";
    program = "setpriv";
  }
  std::vector<std::string> args = {"--encoding", "gbk", page};
  if (program == "setpriv")
    args.insert(args.begin(), {"--bounding-set=-dac_override,-dac_read_search", Reader});

  expectOneLineAbout(runProgram(program, args), page, "Permission denied");
}

TEST_F(BadInputTest, FileThatVanishesBetweenListingAndReading) {
  // A batch is listed first and read later; one page is gone by the time its turn comes.
  const std::string page = readFile(Fixtures + "/gbk-article.html");
  for (const char* name : {"a.html", "b.html", "c.html"}) write(name, page);
  std::vector<std::string> listed;
  for (const auto& entry : fs::directory_iterator(folder_)) listed.push_back(entry.path().string());
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed.size(), 3u);
  fs::remove(listed[1]);

  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), listed.begin(), listed.end());
  const testing::ProgramRun run = runProgram(Reader, args);

  EXPECT_EQ(run.status, 1);
  const std::vector<std::string> errors = linesOf(run.err);
  ASSERT_EQ(errors.size(), 1u) << run.err;
  EXPECT_EQ(errors[0], "article-extract: " + listed[1] + ": No such file or directory");
  const std::vector<std::string> articles = linesOf(run.out);
  ASSERT_EQ(articles.size(), 2u) << run.out;
  EXPECT_EQ(articles[0].rfind("{\"source\":\"" + listed[0] + "\",\"title\":\"", 0), 0u) << articles[0];
  EXPECT_EQ(articles[1].rfind("{\"source\":\"" + listed[2] + "\",\"title\":\"", 0), 0u) << articles[1];
}

TEST_F(BadInputTest, ReadErrorIsReportedNotTakenForAnEmptyPage) {
  // /proc/self/mem opens, but reading it from its start fails (EIO): the page was never read, and an empty
  // article would pass that off as a page with nothing in it.
  const std::string input = "/proc/self/mem";
  ASSERT_TRUE(fs::exists(input));
  const testing::ProgramRun run = runProgram(Reader, {"--encoding", "gbk", input});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  const std::vector<std::string> lines = linesOf(run.err);
  ASSERT_EQ(lines.size(), 1u) << run.err;
  EXPECT_EQ(lines[0].rfind("article-extract: " + input + ": ", 0), 0u) << lines[0];
}

TEST_F(BadInputTest, PipeIsReadToItsEnd) {
  // A named pipe, as a shell's process substitution gives: the reader waits for the writer and reads all.
  const std::string pipe = (folder_ / "page.fifo").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string page = readFile(Fixtures + "/gbk-article.html");
  std::thread writer([&] {
    // Opening without blocking fails until the reader has the pipe open; give up after a bound.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int fd = -1;
    while (fd < 0 && std::chrono::steady_clock::now() < until) {
      fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (std::size_t sent = 0; sent < page.size();) {
      const ssize_t n = ::write(fd, page.data() + sent, page.size() - sent);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  const testing::ProgramRun fromPipe = runProgram(Reader, {"--encoding", "gbk", pipe});
  writer.join();

  EXPECT_EQ(fromPipe.status, 0) << fromPipe.err;
  EXPECT_EQ(fromPipe.out, runProgram(Reader, {"--encoding", "gbk", Fixtures + "/gbk-article.html"}).out);
}

// --- Inputs that are read, whatever they hold ---

// Bytes from a fixed generator, so that a failure can be replayed.
std::string noise(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

TEST_F(BadInputTest, AnyBytesGiveANormalArticle) {
  // Whatever a file holds, it is a page: an article comes out, in both output forms, with nothing on
  // standard error. The JSON form stays one line of printable text.
  const std::string fixture = readFile(Fixtures + "/gbk-article.html");
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"one NUL", std::string(1, '\0')},
      {"the reader's own program", readFile(Reader)},
      {"noise", noise(1 << 20, 7)},
      {"noise after a page", fixture + noise(4096, 8)},
      {"UTF-16 with a byte order mark", "\xFF\xFE<\0t\0i\0t\0l\0e\0>\0a\0<\0/\0t\0i\0t\0l\0e\0>\0"s},
      {"every byte value",
       [] {
         std::string all;
         for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
         return all + all;
       }()},
      {"one long line", std::string(3 << 20, 'x')},
      {"only markup", "<" + std::string(1 << 20, 'a')},
      {"only line breaks", std::string(1 << 20, '\n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write("page.bin", c.bytes);

    expectArticle(runProgram(Reader, {"--encoding", "gbk", path}));

    const testing::ProgramRun json = runProgram(Reader, {"--json", path});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.err, "");
    ASSERT_FALSE(json.out.empty());
    EXPECT_EQ(json.out.find('\n'), json.out.size() - 1);
    for (unsigned char byte : json.out.substr(0, json.out.size() - 1)) ASSERT_GE(byte, 0x20) << json.out;
  }
}

TEST_F(BadInputTest, EmptyFileGivesTheEmptyArticle) {
  const Article article = expectArticle(runProgram(Reader, {"--encoding", "gbk", write("empty.html", "")}));
  EXPECT_EQ(article.title, "");
  EXPECT_EQ(article.time, "");
  EXPECT_EQ(article.body, "    ");
}

TEST_F(BadInputTest, InvalidBytesInTheDeclaredEncoding) {
  // The page is still read. The title crosses into Unicode and back, so whatever is not a character of the
  // page's encoding comes out of it as one "?": each undefined GBK sequence, each ill-formed UTF-8 part.
  struct Case {
    const char* name;
    std::string page;
    std::string title;  // in code page 936
  };
  const Case cases[] = {
      {"GBK, a first byte before \"<\"", "<title>a\x81</title>\n", "a?"},
      // 0x80 (the euro sign) and 0xFF are characters of their own; 0x81 cannot pair with "0".
      {"GBK, single bytes and a broken pair", "<title>\x80\xFF\x81\x30z</title>\n", "\x80\xFF?0z"},
      // 0xFF, then a character cut short.
      {"UTF-8",
       "<meta charset=\"utf-8\"><title>ab\xFF"
       "cd\xE4\xB8</title>\n",
       "ab?cd?"},
      // An overlong "/" and an encoded surrogate: no byte of either begins a character.
      {"UTF-8, overlong and surrogate", "<meta charset=\"utf-8\"><title>x\xC0\xAFy\xED\xA0\x80z</title>\n",
       "x??y???z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Article article =
        expectArticle(runProgram(Reader, {"--encoding", "gbk", write("page.html", c.page)}));
    EXPECT_EQ(article.title, c.title) << testing::hex(article.title);
  }
}

TEST_F(BadInputTest, NulEndsThePageText) {
  // The text of a page ends before its first NUL: a page with one in it reads as the bytes before it.
  const std::string page = readFile(Fixtures + "/gbk-article.html");
  const std::string utf8Page = readFile(Fixtures + "/utf8-html5-article.html");
  struct Case {
    const char* name;
    std::string page;
    std::size_t cut;
  };
  const Case cases[] = {
      {"at the start", page, 0},
      {"after the title", page, page.find("</title>") + 8},
      {"in the middle of the body", page, page.size() * 3 / 4},
      {"in a UTF-8 page", utf8Page, utf8Page.size() * 3 / 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string withNul = c.page.substr(0, c.cut) + std::string(1, '\0') + c.page.substr(c.cut);
    const testing::ProgramRun run = runProgram(Reader, {"--encoding", "gbk", write("nul.html", withNul)});
    expectArticle(run);
    EXPECT_EQ(run.out,
              runProgram(Reader, {"--encoding", "gbk", write("cut.html", c.page.substr(0, c.cut))}).out);
  }
}

TEST_F(BadInputTest, HundredMegabytePageIsRead) {
  // A page of 100 MB, made here and removed afterwards: read whole, with the first title in it.
  const std::string page = readFile(Fixtures + "/gbk-article.html");
  const std::string path = (folder_ / "huge.html").string();
  {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t written = 0; written < (std::size_t{100} << 20); written += page.size()) out << page;
  }
  ASSERT_GE(fs::file_size(path), std::size_t{100} << 20);

  const Article huge = expectArticle(runProgram(Reader, {"--encoding", "gbk", path}));
  fs::remove(path);
  const Article one =
      expectArticle(runProgram(Reader, {"--encoding", "gbk", Fixtures + "/gbk-article.html"}));
  EXPECT_EQ(huge.title, one.title);
  EXPECT_EQ(huge.time, one.time);
}

}  // namespace
}  // namespace reader
