// Throughput of the pattern services on what the extraction feeds them: the eleven markup rules in the
// order the markup stripping runs them and the three firstMatch patterns, over a generated 1 MB news page
// and over the hostile pages that exhaust a backtracking engine.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "extract/stages.h"
#include "services/patterns.h"

namespace reader {
namespace {


struct NamedPattern {
  const char* name;
  const char* pattern;
};

constexpr std::array<NamedPattern, 3> kFirstMatchPatterns = {{
    {"charset", "content=[\"'].*?charset=([^'\"]*)"},
    {"title", "<title>.*?</title>"},
    // 20\d{2}[\-\/年,\.]\d{1,2}[\-\/月,\.]\d{1,2}
    {"date", "20\\d{2}[\\-\\/\xC4\xEA,\\.]\\d{1,2}[\\-\\/\xD4\xC2,\\.]\\d{1,2}"},
}};

std::string repeated(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Running text of GB2312 characters with full-width commas and stops, the same for every run.
std::string chineseText(std::uint32_t& seed, int characters) {
  std::string out;
  for (int i = 1; i <= characters; ++i) {
    seed = seed * 1664525u + 1013904223u;
    if (i % 23 == 0) {
      out += "\xA1\xA3";  // 。
    } else if (i % 7 == 0) {
      out += "\xA3\xAC";  // ，
    } else {
      out += static_cast<char>(0xB0 + (seed >> 24) % 0x28);
      out += static_cast<char>(0xA1 + (seed >> 16) % 0x5E);
    }
  }
  return out;
}

// A portal-style news page of about 1 MB: navigation lists, scripts, styles, comments, entities and
// article paragraphs, with the title and the charset declaration at the top and the date after the body.
std::string newsPage() {
  std::uint32_t seed = 20151207;
  std::string page =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n<title>" +
      chineseText(seed, 16) +
      "</title>\r\n<style type=\"text/css\">\r\nbody { margin: 0; }\r\n.nav li { float: left; "
      "}\r\n</style>\r\n"
      "<script type=\"text/javascript\">\r\nvar ads = [1, 2, 3];\r\nif (a < b) { show(ads); "
      "}\r\n</script>\r\n"
      "</head>\r\n<body>\r\n";
  while (page.size() < 1024 * 1024 - 4096) {
    page += "<div class=\"nav\">\r\n<ul class=\"menu\">\r\n";
    for (int i = 0; i < 8; ++i)
      page +=
          "<li><a href=\"/news/" + std::to_string(i) + ".html\">" + chineseText(seed, 4) + "</a></li>\r\n";
    page +=
        "</ul>\r\n</div>\r\n<!-- ad slot -->\r\n<script>document.write('<div "
        "id=\"ad\"></div>');</script>\r\n";
    page += "<div class=\"content\">\r\n";
    for (int i = 0; i < 6; ++i) {
      page += "<p>&nbsp;&nbsp;" + chineseText(seed, 120) + "&ldquo;" + chineseText(seed, 10) +
              "&rdquo;<br />\r\n" + chineseText(seed, 60) + "</p>\r\n";
    }
    page += "</div>\r\n<span class=\"source\">&copy; &#169; 2005-2015</span>\r\n";
  }
  // 2015年12月7日
  page +=
      "<div class=\"time\">2015\xC4\xEA"
      "12\xD4\xC2"
      "7\xC8\xD5</div>\r\n</body>\r\n</html>\r\n";
  return page;
}

// The hostile pages end in plain text, so that a page reduced to nothing can only mean it was lost.
const std::string& pageOf(const std::string& name) {
  static const std::string kTail = "\r\nend of page";
  static const std::vector<std::pair<std::string, std::string>> pages = {
      {"news_page_1MB", newsPage()},
      {"unclosed_scripts", repeated("<script type=\"text/javascript\">a", 12000) + kTail},
      {"less_thans_2MB", repeated("<", 2 * 1024 * 1024) + kTail},
      {"unclosed_lists", repeated("<ul>", 100000) + kTail},
      {"unclosed_comment", "<!--" + repeated("<p>text</p>\r\n", 150000) + kTail},
      {"content_quotes", "<meta " + repeated("content=\"", 100000) + kTail},
  };
  for (const auto& [pageName, page] : pages)
    if (pageName == name) return page;
  static const std::string none;
  return none;
}

void markupRules(benchmark::State& state, const std::string& pageName) {
  const GbkText page(pageOf(pageName));
  for (auto _ : state) {
    GbkText text = page;
    for (const MarkupRule& rule : MarkupRules) {
      text = replaceAllMatches(text, GbkText(rule.pattern), GbkText(rule.replacement),
                               GbkText(rule.closingLiteral));
    }
    if (text.empty()) state.SkipWithError("the page was lost");
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * textLength(page));
}

void oneMarkupRule(benchmark::State& state, const MarkupRule& rule) {
  const GbkText page(pageOf("news_page_1MB"));
  for (auto _ : state) {
    GbkText text = replaceAllMatches(page, GbkText(rule.pattern), GbkText(rule.replacement),
                                     GbkText(rule.closingLiteral));
    if (text.empty()) state.SkipWithError("the page was lost");
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * textLength(page));
}

void firstMatchOn(benchmark::State& state, const std::string& pageName, const NamedPattern& pattern) {
  const GbkText page(pageOf(pageName));
  for (auto _ : state) {
    GbkText match = firstMatch(page, GbkText(pattern.pattern), false);
    benchmark::DoNotOptimize(match);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * textLength(page));
}

const bool registered = [] {
  const std::array<const char*, 5> markupPages = {"news_page_1MB", "unclosed_scripts", "less_thans_2MB",
                                                  "unclosed_lists", "unclosed_comment"};
  for (const char* pageName : markupPages) {
    benchmark::RegisterBenchmark(("MarkupRules/" + std::string(pageName)).c_str(), markupRules,
                                 std::string(pageName))
        ->Unit(benchmark::kMillisecond);
  }
  for (std::size_t i = 0; i < MarkupRules.size(); ++i) {
    benchmark::RegisterBenchmark(("MarkupRule/news_page_1MB/" + std::to_string(i + 1)).c_str(), oneMarkupRule,
                                 MarkupRules[i])
        ->Unit(benchmark::kMillisecond);
  }
  for (const char* pageName : {"news_page_1MB", "content_quotes", "less_thans_2MB"}) {
    for (const NamedPattern& pattern : kFirstMatchPatterns) {
      benchmark::RegisterBenchmark(("FirstMatch/" + std::string(pageName) + "/" + pattern.name).c_str(),
                                   firstMatchOn, std::string(pageName), pattern)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace
}  // namespace reader
