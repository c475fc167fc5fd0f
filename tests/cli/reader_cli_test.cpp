#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "byte_helpers.h"
#include "run_program.h"

namespace reader {
namespace {

using testing::gbk;
using testing::readFile;
using testing::runProgram;

const std::string Reader = ARTICLE_EXTRACT;
const std::string Fixtures = READER_FIXTURES_DIR;

struct Expected {
  std::string file;
  std::string title, time;
  std::vector<std::u8string_view> bodyLines;  // joined with CR LF, the first indented
};

std::string bodyOf(const std::vector<std::u8string_view>& lines) {
  std::string body = "    ";
  for (std::size_t i = 0; i < lines.size(); ++i) body += (i ? "\r\n" : "") + gbk(lines[i]);
  return body;
}

const Expected FixturePages[] = {
    {"gbk-article.html", gbk(u8"江边湿地迎来首批越冬候鸟"), gbk(u8"2025年11月3"),
     {u8"记者昨天从市林业局获悉，江边湿地公园近日迎来今年首批越冬候鸟，白鹭、苍鹭和绿头鸭等十余种鸟类已在滩涂上安家。",
      u8"",
      u8"监测人员介绍，今年候鸟到达的时间比去年提前了一周左右，这与湿地水位稳定、食物充足有关。预计到十二月中旬，越冬候鸟的数量将超过三千只。",
      u8"",
      u8"林业局提醒市民，观鸟时请保持距离，不要投喂和惊扰鸟群，更不要在湿地内燃放烟花爆竹。"}},
    // Declared only as <meta charset="utf-8">: converted, so every field reads.
    {"utf8-html5-article.html", gbk(u8"老街改造后重新开街"), "2024/06/18",
     {u8"经过一年半的改造，城南老街于本周六重新开街。改造保留了街道两侧的青砖老屋，更换了地下管网，并增设了三处口袋公园。",
      u8"",
      u8"开街当天，不少老居民专程回来看看。“房子还是那些房子，路面平整了，晚上也亮堂了。”在老街住了四十年的张大爷说。",
      u8"",
      u8"据介绍，老街将引入非遗手工、老字号餐饮和社区书店等业态，并实行机动车限时通行，周末全天步行。"}},
};

TEST(CommandLineReader, GbkOutputIsTheExactBytes) {
  for (const Expected& page : FixturePages) {
    auto run = runProgram(Reader, {"--encoding", "gbk", Fixtures + "/" + page.file});
    EXPECT_EQ(run.status, 0) << page.file << run.err;
    EXPECT_EQ(run.out, page.title + "\n" + page.time + "\n\n" + bodyOf(page.bodyLines)) << page.file;
  }
}

TEST(CommandLineReader, Utf8OutputAndStandardInput) {
  const Expected& page = FixturePages[0];
  auto run = runProgram(Reader, {"-"}, readFile(Fixtures + "/" + page.file));
  EXPECT_EQ(run.status, 0) << run.err;
  std::string body = gbkToUtf8(bodyOf(page.bodyLines));
  std::string shown;
  for (std::size_t i = 0; i < body.size(); ++i) if (!(body[i] == '\r' && body[i + 1] == '\n')) shown += body[i];
  EXPECT_EQ(run.out, gbkToUtf8(page.title) + "\n" + gbkToUtf8(page.time) + "\n\n" + shown + "\n");
}

TEST(CommandLineReader, JsonOneObjectPerInput) {
  auto run = runProgram(Reader, {"--json", Fixtures + "/utf8-html5-article.html", "-"}, "<title>A \"q\"</title>");
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first, second, extra;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_FALSE(std::getline(lines, extra));
  EXPECT_EQ(first.rfind("{\"source\":\"" + Fixtures + "/utf8-html5-article.html\",\"title\":\"" +
                            std::string(reinterpret_cast<const char*>(u8"老街改造后重新开街")) +
                            "\",\"time\":\"2024/06/18\",\"body\":\"    ",
                        0),
            0u)
      << first;
  EXPECT_NE(first.find("\\r\\n\\r\\n"), std::string::npos);
  EXPECT_EQ(second, R"({"source":"-","title":"A","time":"","body":"    "})");
}

TEST(CommandLineReader, UnreadableInputsAreReportedAndTheRestStillRun) {
  const std::string missing = Fixtures + "/no-such-page.html";
  auto run = runProgram(Reader, {"--encoding", "gbk", missing, Fixtures, Fixtures + "/gbk-article.html"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(missing + ": No such file or directory"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(Fixtures + ": is a directory"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find(FixturePages[0].title), std::string::npos);
}

TEST(CommandLineReader, NoInputReadsTheSamplePage) {
  auto run = runProgram(Reader, {});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            reinterpret_cast<const char*>(u8"滨江市图书馆夜间阅览室正式开放"));
}

TEST(CommandLineReader, HelpVersionAndBadOptions) {
  auto help = runProgram(Reader, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--encoding"), std::string::npos);
  EXPECT_EQ(runProgram(Reader, {"--version"}).status, 0);
  EXPECT_NE(runProgram(Reader, {"--encoding", "latin1"}).status, 0);
  EXPECT_NE(runProgram(Reader, {"--no-such-option"}).status, 0);
}

TEST(CommandLineReader, EveryCorpusPageInOneRun) {
  namespace fs = std::filesystem;
  std::vector<std::string> pages;
  for (const auto& entry : fs::directory_iterator(READER_CORPUS_DIR)) {
    if (entry.path().extension() == ".html") pages.push_back(entry.path().string());
  }
  ASSERT_GE(pages.size(), 141u);
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), pages.begin(), pages.end());
  auto run = runProgram(Reader, args);
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::size_t count = 0, withBody = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    if (line.find("\"body\":\"    \"}") == std::string::npos) ++withBody;
  }
  EXPECT_EQ(count, pages.size());
  EXPECT_GT(withBody, pages.size() * 9 / 10);  // nearly every real page yields a body
}

}  // namespace
}  // namespace reader
