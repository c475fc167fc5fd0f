// Speed of the extraction, whole and stage by stage.
//
// Workloads: the whole corpus of real pages read into memory once, a few of its biggest pages on their
// own, and pages made here: a typical 100 KB article, the same article grown to 1, 4 and 16 MB by
// repeating its body, and four pages built to be hard (40,000 long lines that never stop a scan, one
// 2 MB line, 100,000 short lines, and a page ending in 500,000 unclosed "<!--").
//
// For each workload:
//   Extract/<workload>   the whole extractArticle, as the reader calls it: bytes_per_second (MiB/s) and
//                        ms_per_MB (milliseconds per 10^6 page bytes)
//   Stages/<workload>    the six stages in pipeline order, each timed where it runs: decode, title, strip,
//                        census, select, and date + trim (the last stage's two halves), per pass over
//                        the workload, in the unit the counter's name ends with
// The counters are on CPU time, as Google Benchmark's CPU column; the Time column is the wall clock.
// Single-threaded; build with the release preset.
//
//   extract_bench --benchmark_filter='^Extract/'      the whole extraction only
//   extract_bench --benchmark_filter=typical_100KB    one workload
//   extract_bench --dump_page=typical_100KB > p.html  write a generated page (to feed article-extract)
//
// The corpus folder is READER_CORPUS_DIR, from the build or from the environment variable of that name.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "extract/article.h"
#include "text/page_memory.h"
#include "extract/stages.h"
#include "services/charset.h"

namespace reader {
namespace {

constexpr std::size_t KB = 1024;
constexpr std::size_t MB = 1024 * 1024;

// ---------------------------------------------------------------------------------------------------
// Generated pages. Chinese text is written in UTF-8 here and converted to code page 936 once at start-up;
// the random choices come from a fixed seed, so every run measures the same bytes.

std::string gbk(std::string_view utf8) {
  return utf8ToGbk(utf8).bytes();
}

class PageWriter {
 public:
  explicit PageWriter(std::uint32_t seed) : random_(seed) {}

  std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random_() % n); }
  template <class T>
  const T& any(const std::vector<T>& items) {
    return items[pick(items.size())];
  }

  // A clause of news prose: three to six words, sometimes a number or a quotation.
  std::string clause() {
    std::string out;
    const std::size_t words = 3 + pick(4);
    for (std::size_t i = 0; i < words; ++i) {
      if (i > 0 && pick(9) == 0) out += words_.pause;  // 、
      out += any(words_.words);
    }
    if (pick(7) == 0) out += std::to_string(2 + pick(98)) + "." + std::to_string(pick(10)) + "%";
    if (pick(11) == 0) out = words_.openQuote + out + words_.closeQuote;
    return out;
  }

  // A sentence of two to four clauses, ended by a stop, now and then by a question or exclamation mark.
  std::string sentence() {
    std::string out;
    const std::size_t clauses = 2 + pick(3);
    for (std::size_t i = 0; i < clauses; ++i) {
      if (i > 0) out += (pick(6) == 0) ? words_.semicolon : words_.comma;
      out += clause();
    }
    const std::size_t end = pick(20);
    out += end == 0 ? words_.question : end == 1 ? words_.exclamation : words_.stop;
    return out;
  }

  std::string paragraph(std::size_t sentences) {
    std::string out;
    for (std::size_t i = 0; i < sentences; ++i) out += sentence();
    return out;
  }

  // A headline: six to ten words, no punctuation.
  std::string headline() {
    std::string out;
    const std::size_t words = 6 + pick(5);
    for (std::size_t i = 0; i < words; ++i) out += any(words_.words);
    return out;
  }

  // Characters of GB2312 level 1, none of them a mark.
  std::string hanzi(std::size_t characters) {
    std::string out;
    for (std::size_t i = 0; i < characters; ++i) {
      out += static_cast<char>(0xB0 + pick(0xD7 - 0xB0));
      out += static_cast<char>(0xA1 + pick(0xFE - 0xA1));
    }
    return out;
  }

  struct Words {
    std::vector<std::string> words;
    std::string comma, stop, pause, semicolon, question, exclamation, openQuote, closeQuote;
  };
  static const Words& words() {
    static const Words w = [] {
      Words made;
      for (const char* word :
           {"记者",     "今天",   "获悉", "国务院", "发布", "关于", "进一步", "深化", "改革",   "的",
            "意见",     "经济",   "发展", "市场",   "企业", "投资", "增长",   "政策", "部门",   "表示",
            "目前",     "全国",   "地区", "城市",   "农村", "居民", "收入",   "消费", "价格",   "上涨",
            "下降",     "同比",   "环比", "数据",   "显示", "专家", "认为",   "未来", "预计",   "继续",
            "保持",     "稳定",   "加快", "推进",   "建设", "项目", "资金",   "银行", "金融",   "风险",
            "监管",     "加强",   "管理", "服务",   "社会", "公共", "教育",   "医疗", "就业",   "创新",
            "科技",     "产业",   "结构", "调整",   "转型", "升级", "环境",   "保护", "能源",   "交通",
            "基础设施", "合作",   "国际", "贸易",   "出口", "进口", "总额",   "亿元", "万人",   "百分点",
            "第三季度", "上半年", "去年", "同期",   "相比", "明显", "提高",   "有关", "负责人", "介绍",
            "说",       "在",     "和",   "为",     "将",   "对",   "了",     "已经", "正在",   "我们",
            "他们",     "这一",   "方面", "问题",   "情况", "工作", "会议",   "召开", "强调",   "要求",
            "落实",     "措施",   "方案", "规划",   "目标", "任务", "实现",   "全面"}) {
        made.words.push_back(gbk(word));
      }
      made.comma = gbk("，");
      made.stop = gbk("。");
      made.pause = gbk("、");
      made.semicolon = gbk("；");
      made.question = gbk("？");
      made.exclamation = gbk("！");
      made.openQuote = gbk("“");
      made.closeQuote = gbk("”");
      return made;
    }();
    return w;
  }

 private:
  std::mt19937 random_;
  const Words& words_ = words();
};

struct PageParts {
  std::string head;  // from the doctype to <body>
  std::string body;  // everything inside <body>
  std::string tail;  // </body></html>
  std::string whole() const { return head + body + tail; }
};

// A portal's article page of about 100 KB, as the GBK news sites of the last twenty years serve them:
// metadata, a title with the channel and site names, a style sheet and scripts in the head; top bar,
// channel menu and breadcrumbs; the headline, a line with date, source and author; a dozen paragraphs
// with an image; the source and editor trailer and the previous/next links; related news; a sidebar of
// ranking lists; the footer with its copyright; statistics scripts. Lines end in CR LF.
PageParts typicalArticle() {
  PageWriter w(20151207);
  const std::string nl = "\r\n";
  const std::string headline = w.headline();
  std::vector<std::string> channels;
  for (const char* name : {"首页", "新闻", "国内", "国际", "社会", "财经", "股票", "基金", "科技", "手机",
                           "汽车", "房产", "教育", "健康", "体育", "娱乐", "旅游", "文化", "视频", "图片"})
    channels.push_back(gbk(name));

  PageParts page;
  std::string& h = page.head;
  h += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">" +
       nl;
  h += "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + nl + "<head>" + nl;
  h += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />" + nl;
  h += "<meta name=\"keywords\" content=\"" + w.headline() + "," + channels[5] + "\" />" + nl;
  h += "<meta name=\"description\" content=\"" + w.sentence() + "\" />" + nl;
  h += "<title>" + headline + "_" + channels[5] + gbk("频道_新闻中心") + "</title>" + nl;
  h += "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/2015/article.css\" />" + nl;
  h += "<style type=\"text/css\">" + nl;
  for (const char* selector :
       {"body",     ".top",        ".nav",  ".nav li",  ".nav li a",  ".crumb",  ".main",
        ".article", ".article h1", ".info", "#content", "#content p", ".editor", ".pages",
        ".related", ".side",       ".box",  ".box h3",  ".box li",    ".footer"}) {
    h += std::string(selector) + " { margin: 0 auto; padding: 4px 8px; font: 14px/24px \"SimSun\"; color: #" +
         std::to_string(100000 + w.pick(800000)) + "; }" + nl;
  }
  h += "</style>" + nl;
  h += "<script type=\"text/javascript\">" + nl + "var adConfig = {" + nl;
  for (int slot = 1; slot <= 24; ++slot) {
    h += "  slot" + std::to_string(slot) + ": { id: 'ad_" + std::to_string(1000 + w.pick(9000)) +
         "', width: 300, height: 250, show: " + (w.pick(2) ? "true" : "false") + " }," + nl;
  }
  h += "};" + nl +
       "function showAd(id) { if (id < 0 || !adConfig[id]) { return; } "
       "document.write('<div id=\"' + id + '\"></div>'); }" +
       nl + "</script>" + nl;
  h += "</head>" + nl + "<body>" + nl;

  std::string& b = page.body;
  b += "<div class=\"top\"><a href=\"/\">" + channels[0] + "</a>";
  for (std::size_t i = 1; i < channels.size(); ++i)
    b += " | <a href=\"/c" + std::to_string(i) + "/\">" + channels[i] + "</a>";
  b += "</div>" + nl;
  b += "<div class=\"nav\">" + nl + "<ul class=\"menu\">" + nl;
  for (std::size_t i = 0; i < channels.size(); ++i)
    b += "<li><a href=\"/c" + std::to_string(i) + "/index.shtml\">" + channels[i] + "</a></li>" + nl;
  b += "</ul>" + nl + "</div>" + nl;
  b += "<div class=\"crumb\"><a href=\"/\">" + channels[0] + "</a> &gt; <a href=\"/finance/\">" +
       channels[5] + "</a> &gt; " + gbk("正文") + "</div>" + nl;
  b += "<script type=\"text/javascript\">showAd('slot1');</script>" + nl;
  b += "<div class=\"main\">" + nl + "<div class=\"article\">" + nl;
  b += "<h1>" + headline + "</h1>" + nl;
  b += "<div class=\"info\"><span class=\"time\">" + gbk("2015年12月07日") + " 10:21</span>&nbsp;&nbsp;" +
       "<span class=\"source\">" + gbk("来源：新华网") + "</span>&nbsp;&nbsp;<span>" + gbk("作者：王建国") +
       "</span></div>" + nl;
  b += "<!-- content begin -->" + nl + "<div id=\"content\">" + nl;
  for (int i = 1; i <= 12; ++i) {
    b += "<p>" + gbk("　　") + w.paragraph(3 + w.pick(4));
    if (i % 5 == 0) b += "&ldquo;" + w.clause() + "&rdquo;" + w.sentence();
    b += "</p>" + nl;
    if (i == 4) {
      b += "<p style=\"text-align: center\"><img src=\"/images/2015/1207/" + std::to_string(w.pick(99999)) +
           ".jpg\" alt=\"\" border=\"0\" /></p>" + nl;
    }
  }
  b += "</div>" + nl + "<!-- content end -->" + nl;
  b += "<p class=\"from\">" + gbk("来源：新华社") + "</p>" + nl;
  b += "<div class=\"editor\">" + gbk("（责任编辑：李明）") + "</div>" + nl;
  b += "<div class=\"pages\">" + gbk("上一篇：") + "<a href=\"/2015/1206/1.shtml\">" + w.headline() +
       "</a><br />" + gbk("下一篇：") + "<a href=\"/2015/1207/3.shtml\">" + w.headline() + "</a></div>" + nl;
  b += "</div>" + nl;
  b += "<div class=\"related\">" + nl + "<h3>" + gbk("相关新闻") + "</h3>" + nl + "<ul>" + nl;
  for (int i = 0; i < 10; ++i) {
    b += "<li><a href=\"/2015/12" + std::to_string(10 + w.pick(20)) + "/" + std::to_string(w.pick(99999)) +
         ".shtml\" target=\"_blank\">" + w.headline() + "</a> <span>12-0" + std::to_string(1 + w.pick(7)) +
         "</span></li>" + nl;
  }
  b += "</ul>" + nl + "</div>" + nl;
  b += "<div class=\"comment\" id=\"comment\">" + nl + "<script type=\"text/javascript\">" + nl +
       "var commentId = 'comos-" + std::to_string(w.pick(999999)) + "';" + nl +
       "document.write('<iframe src=\"/comment/' + commentId + '.html\" width=\"100%\"></iframe>');" + nl +
       "</script>" + nl + "</div>" + nl;
  b += "</div>" + nl;

  const std::string footer =
      "<div class=\"footer\">" + nl + "<p><a href=\"/about/\">" + gbk("关于我们") +
      "</a> | <a href=\"/contact/\">" + gbk("联系我们") + "</a> | <a href=\"/ad/\">" + gbk("广告服务") +
      "</a> | <a href=\"/job/\">" + gbk("招聘信息") + "</a></p>" + nl + "<p>Copyright &copy; 2015 " +
      gbk("新闻中心 版权所有") + " All Rights Reserved.</p>" + nl + "<p>" + gbk("京ICP证000000号") + "</p>" +
      nl + "</div>" + nl + "<script type=\"text/javascript\">" + nl + "var _stat = _stat || [];" + nl +
      "(function() { var s = document.createElement('script'); s.src = '/js/stat.js?' + Math.random(); "
      "document.getElementsByTagName('head')[0].appendChild(s); })();" +
      nl + "</script>" + nl;

  // The sidebar: ranking lists of headlines, box after box, until the page is 100 KB.
  b += "<div class=\"side\">" + nl;
  const std::size_t target = 100 * KB - footer.size() - 64;
  const std::vector<std::string> boxes = {gbk("热点排行"), gbk("24小时点击排行"), gbk("专题"),
                                          gbk("图片新闻"), gbk("评论排行"),       gbk("推荐阅读")};
  const std::string boxEnd = "</ul>" + nl + "</div>" + nl;
  while (h.size() + b.size() < target) {
    b += "<div class=\"box\">" + nl + "<h3>" + w.any(boxes) + "</h3>" + nl + "<ul>" + nl;
    for (int i = 0; i < 10 && h.size() + b.size() < target; ++i) {
      b += "<li><em>" + std::to_string(i + 1) + "</em><a href=\"/2015/12" + std::to_string(10 + w.pick(20)) +
           "/" + std::to_string(w.pick(99999)) + ".shtml\" title=\"" + w.headline() + "\">" + w.headline() +
           "</a></li>" + nl;
    }
    b += boxEnd;
  }
  b += "</div>" + nl + footer;
  page.tail = "</body>" + nl + "</html>" + nl;
  return page;
}

// The typical article with its body repeated until the page reaches the given size.
std::string scaledArticle(std::size_t bytes) {
  const PageParts parts = typicalArticle();
  std::string page = parts.head;
  while (page.size() + parts.tail.size() < bytes) page += parts.body;
  return page + parts.tail;
}

std::string hostileHead(PageWriter& w) {
  return "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" "
         "/>\r\n<title>" +
         w.headline() + "</title>\r\n</head>\r\n<body>\r\n";
}

// 40,000 lines of 64 and 40 bytes in turn, each with one comma: every line is a candidate, no line is
// short and no run of lines is steady, so no scan of the block selection ever stops before the page ends.
std::string longLinesPage() {
  PageWriter w(40000);
  const std::string comma = gbk("，");
  std::string page = hostileHead(w);
  for (int i = 0; i < 40000; ++i) {
    const std::size_t characters = (i % 2 == 0) ? 31 : 19;
    const std::size_t at = w.pick(characters);
    page += w.hanzi(at) + comma + w.hanzi(characters - at) + "\n";
  }
  return page + "</body>\r\n</html>\r\n";
}

// A 2 MB page without a single line break: prose in spans and links, all on one line.
std::string singleLinePage() {
  PageWriter w(1);
  std::string page =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" /><title>" +
      w.headline() + "</title></head><body><div class=\"content\">";
  while (page.size() < 2 * MB) {
    page += "<span class=\"p\">" + w.paragraph(2) + "</span><a href=\"/n/" + std::to_string(w.pick(99999)) +
            ".html\">" + w.headline() + "</a>&nbsp;";
  }
  return page + "</div></body></html>";
}

// 100,000 lines of at most 17 bytes, half of them with one mark: short lines stop every scan at once.
std::string shortLinesPage() {
  PageWriter w(100000);
  const std::string comma = gbk("，");
  std::string page = hostileHead(w);
  for (int i = 0; i < 100000; ++i) {
    page += w.hanzi(2 + w.pick(3));
    if (i % 2 == 0) page += comma;
    page += std::to_string(i) + "\n";
  }
  return page + "</body>\r\n</html>\r\n";
}

// The typical article followed by 500,000 "<!--" that nothing closes: after the markup is stripped the
// cleaned page ends in one 2 MB line full of "!".
std::string unclosedCommentsPage() {
  std::string page = typicalArticle().whole();
  page.reserve(page.size() + 4 * 500000);
  for (int i = 0; i < 500000; ++i) page += "<!--";
  return page;
}

// ---------------------------------------------------------------------------------------------------
// Workloads and the stage inputs made from them.

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::filesystem::path corpusFolder() {
  if (const char* folder = std::getenv("READER_CORPUS_DIR"); folder && *folder) return folder;
  return READER_CORPUS_DIR;
}

class Workload {
 public:
  Workload(std::string name, std::function<std::vector<std::string>()> make)
      : name_(std::move(name)), make_(std::move(make)) {}

  const std::string& name() const { return name_; }

  // The pages are made or read when a benchmark of the workload first runs, not at registration.
  const std::vector<ByteSeq>& pages() {
    if (!pages_) {
      pages_.emplace();
      for (std::string& page : make_()) {
        bytes_ += page.size();
        pages_->emplace_back(std::move(page));
      }
    }
    return *pages_;
  }
  std::int64_t bytes() {
    pages();
    return static_cast<std::int64_t>(bytes_);
  }

 private:
  std::string name_;
  std::function<std::vector<std::string>()> make_;
  std::optional<std::vector<ByteSeq>> pages_;
  std::size_t bytes_ = 0;
};

std::vector<std::string> corpusPages() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpusFolder())) {
    if (entry.path().extension() == ".html") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> pages;
  for (const auto& file : files) pages.push_back(readFile(file));
  return pages;
}

std::vector<std::unique_ptr<Workload>>& workloads() {
  static std::vector<std::unique_ptr<Workload>> all = [] {
    std::vector<std::unique_ptr<Workload>> made;
    auto add = [&](std::string name, std::function<std::string()> make) {
      made.push_back(
          std::make_unique<Workload>(std::move(name), [make] { return std::vector<std::string>{make()}; }));
    };
    made.push_back(std::make_unique<Workload>("corpus", corpusPages));
    // The biggest pages: the largest of all, two more large UTF-8 pages, and the largest GBK page.
    for (const char* name : {"gne-wechat-2", "rdb-youth", "cwce-d5bced5e", "cx163-52"}) {
      add(name, [name] { return readFile(corpusFolder() / (std::string(name) + ".html")); });
    }
    add("typical_100KB", [] { return typicalArticle().whole(); });
    add("typical_1MB", [] { return scaledArticle(1 * MB); });
    add("typical_4MB", [] { return scaledArticle(4 * MB); });
    add("typical_16MB", [] { return scaledArticle(16 * MB); });
    add("long_lines_40k", longLinesPage);
    add("single_line_2MB", singleLinePage);
    add("short_lines_100k", shortLinesPage);
    add("unclosed_comments_500k", unclosedCommentsPage);
    return made;
  }();
  return all;
}

// ---------------------------------------------------------------------------------------------------
// The benchmarks.

// The CPU time of this thread, the clock of Google Benchmark's CPU column: on a machine shared with other
// work it moves far less than the wall clock.
struct ThreadCpuClock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<ThreadCpuClock, duration>;
  static time_point now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return time_point(duration(std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
  }
};

// Milliseconds per 10^6 page bytes, from the CPU time of the whole timed loop.
double msPerMB(ThreadCpuClock::duration spent, benchmark::IterationCount iterations, std::int64_t bytes) {
  const double ms = std::chrono::duration<double, std::milli>(spent).count();
  return iterations > 0 && bytes > 0
             ? ms / static_cast<double>(iterations) / (static_cast<double>(bytes) / 1e6)
             : 0;
}

void wholeExtraction(benchmark::State& state, Workload* workload) {
  const std::vector<ByteSeq>& pages = workload->pages();
  std::int64_t bodyBytes = 0;
  const auto started = ThreadCpuClock::now();
  for (auto _ : state) {
    bodyBytes = 0;
    for (const ByteSeq& page : pages) {
      ArticleResult article = extractArticle(page);  // the copy the reader makes is part of the cost
      bodyBytes += textLength(article.body);
      benchmark::DoNotOptimize(article);
    }
  }
  const auto spent = ThreadCpuClock::now() - started;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * workload->bytes());
  state.counters["ms_per_MB"] = msPerMB(spent, state.iterations(), workload->bytes());
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["body_bytes"] = static_cast<double>(bodyBytes);
}

// The stages in the order extractArticle runs them, each timed on its own. A stage benchmarked alone
// misleads: between its iterations the allocator hands the big buffers back to the kernel and every
// iteration pays the page faults again (once several times the pipeline's decoding cost on a 4 MB page),
// which the pipeline, reusing the memory its earlier stages freed, never does. So the stages are timed where
// they run, and the counters give the CPU time of each per pass over the workload, in the unit the
// counter's name ends with.
void stageByStage(benchmark::State& state, Workload* workload, bool inMilliseconds) {
  enum { Decode, Title, Strip, Census, Select, Date, Trim, StageCount };
  constexpr const char* names[StageCount] = {"decode", "title", "strip", "census", "select", "date", "trim"};
  using Clock = ThreadCpuClock;
  const std::vector<ByteSeq>& pages = workload->pages();
  std::array<Clock::duration, StageCount> spent{};
  for (auto _ : state) {
    for (const ByteSeq& page : pages) {
      std::array<Clock::time_point, StageCount + 1> at;
      const Array<ByteSeq> marks = buildPunctuationMarks();  // as extractArticle does first; not a stage
      at[0] = Clock::now();
      DecodedPage decoded = decodePage(page);
      at[1] = Clock::now();
      GbkText title = extractTitle(decoded.pageText);
      at[2] = Clock::now();
      StrippedPage stripped = stripMarkup(decoded.pageText);
      at[3] = Clock::now();
      Array<int> markCounts = countLineMarks(stripped.lineBytes, marks);
      at[4] = Clock::now();
      BlockChoice choice = selectBodyBlock(stripped.lineBytes, markCounts, marks);
      at[5] = Clock::now();
      DatedBlock dated = extractDate(choice.bestBlock, stripped.pageText);
      at[6] = Clock::now();
      GbkText body = trimBody(dated.bestBlock);
      at[7] = Clock::now();
      for (int s = 0; s < StageCount; ++s) spent[s] += at[s + 1] - at[s];
      benchmark::DoNotOptimize(title);
      benchmark::DoNotOptimize(body);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * workload->bytes());
  const double perPass =
      1.0 / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  for (int s = 0; s < StageCount; ++s) {
    const double time = inMilliseconds ? std::chrono::duration<double, std::milli>(spent[s]).count()
                                       : std::chrono::duration<double, std::micro>(spent[s]).count();
    state.counters[std::string(names[s]) + (inMilliseconds ? "_ms" : "_us")] = time * perPass;
  }
}

void registerAll() {
  for (const auto& workload : workloads()) {
    // Workloads of a megabyte and more read better in milliseconds; their names say which they are.
    const std::string& name = workload->name();
    const bool big = name == "corpus" || name.find("MB") != std::string::npos ||
                     name.find("_lines_") != std::string::npos || name.find("unclosed") != std::string::npos;
    const benchmark::TimeUnit unit = big ? benchmark::kMillisecond : benchmark::kMicrosecond;
    benchmark::RegisterBenchmark(("Extract/" + name).c_str(), wholeExtraction, workload.get())->Unit(unit);
    benchmark::RegisterBenchmark(("Stages/" + name).c_str(), stageByStage, workload.get(), big)->Unit(unit);
  }
}

// --dump_page=NAME writes the pages of one workload to standard output and ends the program.
std::optional<int> dumpPage(int argc, char** argv) {
  constexpr std::string_view flag = "--dump_page=";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.substr(0, flag.size()) != flag) continue;
    const std::string_view wanted = arg.substr(flag.size());
    for (const auto& workload : workloads()) {
      if (workload->name() != wanted) continue;
      for (const ByteSeq& page : workload->pages()) std::cout << page.view();
      std::cout.flush();
      return 0;
    }
    std::cerr << "extract_bench: no workload named " << wanted << "; there are:";
    for (const auto& workload : workloads()) std::cerr << ' ' << workload->name();
    std::cerr << '\n';
    return 2;
  }
  return std::nullopt;
}

}  // namespace
}  // namespace reader

int main(int argc, char** argv) {
  if (std::optional<int> status = reader::dumpPage(argc, argv)) return *status;
  reader::keepPageSizedBuffers();  // as the programs do
  reader::clearPunctuationMarks();
  reader::registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  reader::releasePunctuationMarks();
  return 0;
}
