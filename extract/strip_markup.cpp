// Stage C: markup out, line breaks in. The rules run in a fixed order; block and line-break tags become
// CR LF before the catch-all tag rule removes the rest.
#include "extract/byte_search.h"
#include "extract/stages.h"
#include <optional>
#include <string>

namespace reader {

const std::array<MarkupRule, 11> MarkupRules = {{
    {"<!DOCTYPE.*?>", "", ">", MarkupShape::TagFromPrefix, "<!DOCTYPE"},
    {"<div.*?>", "\r\n", ">", MarkupShape::TagFromPrefix, "<div"},
    {"</p>", "\r\n", "</p>", MarkupShape::Literal, "</p>"},
    {"<br.*?>", "\r\n", ">", MarkupShape::TagFromPrefix, "<br"},
    {"<!--.*?-->", "", "-->", MarkupShape::Comment, "<!--"},
    {R"(<script.*?>.*?<\/script>)", "", "</script>", MarkupShape::Element, "<script"},
    {R"(<style.*?>.*?<\/style>)", "", "</style>", MarkupShape::Element, "<style"},
    {R"(<ul.*?>.*?<\/ul>)", "", "</ul>", MarkupShape::Element, "<ul"},
    {"<.*?>", "", ">", MarkupShape::TagFromPrefix, "<"},
    {"&.{1,5};|&#.{1,5};", "", ";", MarkupShape::ShortReference, "&"},
    {R"(&\w{3,10};)", "", ";", MarkupShape::NamedReference, "&"},
}};

namespace {

using bytesearch::FoldedLiteral;
using bytesearch::npos;

bool isWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

struct Span {
  std::size_t begin, end;
};

// "&.{1,5};" takes as many bytes as it can: the last ";" among the five bytes after "&x".
std::optional<Span> shortReferenceAt(std::string_view text, std::size_t amp) {
  for (std::size_t skip : {std::size_t{1}, std::size_t{2}}) {  // "&" then "&#"
    if (skip == 2 && (amp + 1 >= text.size() || text[amp + 1] != '#')) break;
    for (std::size_t length = 5; length >= 1; --length) {
      const std::size_t semicolon = amp + skip + length;
      if (semicolon < text.size() && text[semicolon] == ';') return Span{amp, semicolon + 1};
    }
  }
  return std::nullopt;
}

// "&\w{3,10};": a run of three to ten word characters followed directly by ";" (a longer run can never be
// followed by ";" within ten).
std::optional<Span> namedReferenceAt(std::string_view text, std::size_t amp) {
  std::size_t run = 0;
  while (run <= 10 && amp + 1 + run < text.size() && isWordByte(text[amp + 1 + run])) ++run;
  const std::size_t semicolon = amp + 1 + run;
  if (run >= 3 && run <= 10 && semicolon < text.size() && text[semicolon] == ';') return Span{amp, semicolon + 1};
  return std::nullopt;
}

// The leftmost match of the rule beginning at or after from. When a match cannot end after one start,
// it cannot end after any later start either, so those shapes give up at the first failure.
struct RuleSearch {
  const MarkupRule& rule;
  FoldedLiteral prefix;
  FoldedLiteral closing;
  explicit RuleSearch(const MarkupRule& r) : rule(r), prefix(r.prefix), closing(r.closingLiteral) {}
};

std::optional<Span> findMatch(const RuleSearch& search, std::string_view text, std::size_t from) {
  const MarkupRule& rule = search.rule;
  switch (rule.shape) {
    case MarkupShape::Literal: {
      const std::size_t begin = search.prefix.find(text, from);
      if (begin == npos) return std::nullopt;
      return Span{begin, begin + rule.prefix.size()};
    }
    case MarkupShape::TagFromPrefix:
    case MarkupShape::Comment: {
      const std::size_t begin = search.prefix.find(text, from);
      if (begin == npos) return std::nullopt;
      const std::size_t close = text.find(rule.closingLiteral, begin + rule.prefix.size());
      if (close == npos) return std::nullopt;
      return Span{begin, close + rule.closingLiteral.size()};
    }
    case MarkupShape::Element: {
      const std::size_t begin = search.prefix.find(text, from);
      if (begin == npos) return std::nullopt;
      const std::size_t tagEnd = text.find('>', begin + rule.prefix.size());
      if (tagEnd == npos) return std::nullopt;
      const std::size_t close = search.closing.find(text, tagEnd + 1);
      if (close == npos) return std::nullopt;
      return Span{begin, close + rule.closingLiteral.size()};
    }
    case MarkupShape::ShortReference:
    case MarkupShape::NamedReference:
      for (std::size_t amp = from; (amp = text.find('&', amp)) != npos; ++amp) {
        const auto match = rule.shape == MarkupShape::ShortReference ? shortReferenceAt(text, amp)
                                                                     : namedReferenceAt(text, amp);
        if (match) return match;
      }
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

GbkText applyMarkupRule(const MarkupRule& rule, GbkText text) {
  const std::string_view subject = text.view();
  const RuleSearch search(rule);
  std::optional<Span> match = findMatch(search, subject, 0);
  if (!match) return text;  // most rules find nothing on most pages: no copy then
  std::string result;
  result.reserve(subject.size());
  std::size_t copied = 0;
  for (; match; match = findMatch(search, subject, copied)) {
    result.append(subject.substr(copied, match->begin - copied)).append(rule.replacement);
    copied = match->end;
  }
  result.append(subject.substr(copied));
  return GbkText(std::move(result));
}

GbkText collapseRuns(const GbkText& text, int runByte) {
  const char run = static_cast<char>(runByte);
  std::string result;
  result.reserve(text.bytes().size());
  bool lastKeptWasOther = false;
  for (char byte : text.view()) {
    if (byte != run) {
      result.push_back(byte);
      lastKeptWasOther = true;
    } else if (lastKeptWasOther) {
      result.push_back(byte);
      lastKeptWasOther = false;
    }
  }
  return GbkText(std::move(result));
}

namespace {

// Line breaks in one run of CR and LF bytes once CR LF CR LF has been halved (one left-to-right pass),
// then CR LF, the CRs left and the LFs each made one break.
std::size_t lineBreaksInRun(std::string_view run) {
  if (run == "\n" || run == "\r\n" || run == "\r") return 1;  // nearly every run on a page
  std::string halved;
  halved.reserve(run.size());
  for (std::size_t i = 0; i < run.size();) {
    if (run.substr(i, 4) == "\r\n\r\n") {
      halved += "\r\n";
      i += 4;
    } else {
      halved += run[i++];
    }
  }
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < halved.size(); ++breaks) i += halved.compare(i, 2, "\r\n") == 0 ? 2 : 1;
  return breaks;
}

}  // namespace

GbkText normaliseLineBreaks(const GbkText& text) {
  const std::string_view t = text.view();
  // A lone CR or LF grows into CR LF, so the result is at most twice as long.
  std::string result(t.size() * 2, '\0');
  char* out = result.data();
  bool lastKeptWasOther = false;  // collapseRuns' flag, over the bytes as they are written
  const auto write = [&](char byte) {
    if (byte != ' ') {
      *out++ = byte;
      lastKeptWasOther = true;
    } else if (lastKeptWasOther) {
      *out++ = byte;
      lastKeptWasOther = false;
    }
  };
  for (std::size_t p = 0; p < t.size();) {
    const char byte = t[p];
    if (static_cast<unsigned char>(byte) >= 0x80) {
      // A two-byte character: its second byte is never a line break or a tab to these steps.
      write(byte);
      if (p + 1 < t.size()) write(t[p + 1]);
      p += 2;
    } else if (byte == '\t') {
      ++p;
    } else if (byte == '\r' || byte == '\n') {
      std::size_t end = p;
      while (end < t.size() && (t[end] == '\r' || t[end] == '\n')) ++end;
      for (std::size_t breaks = lineBreaksInRun(t.substr(p, end - p)); breaks > 0; --breaks) {
        write('\r');
        write('\n');
      }
      p = end;
    } else if (byte == ' ') {
      write(byte);
      ++p;
    } else {
      // The common case: a run of plain ASCII bytes goes over as it is.
      do {
        *out++ = t[p++];
      } while (p < t.size() && static_cast<unsigned char>(t[p]) < 0x80 && t[p] != ' ' && t[p] != '\t' &&
               t[p] != '\r' && t[p] != '\n');
      lastKeptWasOther = true;
    }
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return GbkText(std::move(result));
}

StrippedPage stripMarkup(const GbkText& pageText) {
  GbkText text = pageText;
  for (const MarkupRule& rule : MarkupRules) {
    text = applyMarkupRule(rule, std::move(text));
  }
  text = normaliseLineBreaks(text);
  Array<ByteSeq> lineBytes = splitBytes(toBytes(text), ByteSeq("\r\n"), std::nullopt);
  return StrippedPage{std::move(text), std::move(lineBytes)};
}

}  // namespace reader
