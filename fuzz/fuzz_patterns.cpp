// The two pattern services with the reader's own patterns, on arbitrary subjects, and the stages that find
// the same matches without a regex engine held against the services.
//
// replaceAllMatches runs every markup rule twice: with its closing literal, as the rules are written to be
// run, and without, searching the whole text. The two must agree wherever the unbounded search finishes. The
// subject is given a leading "Z", which no rule can match, so an unbounded result is empty exactly when the
// engine gave up. The markup stage's own matcher (applyMarkupRule) must give what the regex gives, and the
// title and decoding stages what their patterns give through firstMatch. firstMatch and firstMatchGroup
// return a piece of the subject with the shape their pattern asks for.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "extract/stages.h"
#include "fuzz_check.h"
#include "services/charset.h"
#include "services/patterns.h"
#include "text/byte_text.h"

using reader::GbkText;
using reader::fuzzing::endsWithIgnoringCase;
using reader::fuzzing::hasNul;
using reader::fuzzing::startsWithIgnoringCase;

namespace {

// The firstMatch patterns of the decoding (decode_page.cpp), title (extract_title.cpp) and date
// (date_and_trim.cpp) stages, copied here as those files write them.
const GbkText CharsetPattern(R"(content=["'].*?charset=([^'"]*))");
const GbkText MetaCharsetPattern(R"(<meta\b[^>]*?\bcharset\s*=\s*["']?\s*([^\s"'<>/;]*))");
const GbkText TitlePattern("<title>.*?</title>");
const GbkText DatePattern("20\\d{2}[\\-\\/\xC4\xEA,\\.]\\d{1,2}[\\-\\/\xD4\xC2,\\.]\\d{1,2}");  // 年 月

void replaceWithEveryRule(const GbkText& subject) {
  const GbkText marked(std::string("Z") + subject.bytes());
  for (const reader::MarkupRule& rule : reader::MarkupRules) {
    const GbkText pattern(rule.pattern);
    const GbkText replacement(rule.replacement);
    const GbkText bounded =
        reader::replaceAllMatches(marked, pattern, replacement, GbkText(rule.closingLiteral));
    const GbkText unbounded = reader::replaceAllMatches(marked, pattern, replacement, std::nullopt);
    FUZZ_CHECK(!hasNul(bounded.view()));
    // Every rule's shortest match is longer than its replacement: nothing grows.
    FUZZ_CHECK(bounded.bytes().size() <= marked.bytes().size());
    if (!unbounded.empty()) FUZZ_CHECK(bounded == unbounded);
    // The bounded search gives up only where a page is huge; these subjects are small.
    FUZZ_CHECK(bounded.view().substr(0, 1) == "Z");
    FUZZ_CHECK(reader::applyMarkupRule(rule, marked) == bounded);
  }
}

// The title stage as its rule reads: the first match over the whole page, its tags removed by the regex,
// cut before the first separator.
GbkText titleByPatterns(const GbkText& pageText) {
  GbkText title = reader::firstMatch(pageText, TitlePattern, false);
  title = reader::replaceAllMatches(title, GbkText("<.*?>"), GbkText(), GbkText(">"));
  int cut = 100000;
  for (const char* separator : {"-", "_", ",", "(", " "}) {
    const int position = reader::findText(title, GbkText(separator), std::nullopt, false);
    if (position != -1 && position < cut) cut = position;
  }
  return reader::leftText(title, cut - 1);
}

// The decoding stage as its rule reads: both declarations looked for with the patterns over the whole page.
reader::ByteSeq decodedByPatterns(reader::ByteSeq pageBytes) {
  if (pageBytes.view().substr(0, 1) == "\n") pageBytes = reader::ByteSeq(pageBytes.view().substr(1));
  const GbkText pageText = reader::toText(pageBytes);
  const GbkText utf8("utf-8");
  const GbkText declaration = reader::firstMatch(pageText, CharsetPattern, false);
  const GbkText name = reader::firstMatchGroup(pageText, MetaCharsetPattern, 1, false);
  const bool declaresUtf8 =
      reader::findText(declaration, utf8, std::nullopt, true) != -1 ||
      (reader::textLength(name) == 5 && reader::findText(name, utf8, std::nullopt, true) == 1);
  return declaresUtf8 ? reader::convertCharset(pageBytes, utf8, GbkText("gb2312")) : pageBytes;
}

void runStagesAgainstPatterns(std::string_view bytes, const GbkText& subject) {
  FUZZ_CHECK(reader::extractTitle(subject) == titleByPatterns(subject));
  const reader::DecodedPage decoded = reader::decodePage(reader::ByteSeq(bytes));
  FUZZ_CHECK(decoded.pageBytes == decodedByPatterns(reader::ByteSeq(bytes)));
  FUZZ_CHECK(decoded.pageText == reader::toText(decoded.pageBytes));
}

// Whole characters of a subject that round-trips through Unicode come back as the very bytes.
bool occursIn(const GbkText& piece, const GbkText& subject) {
  return subject.view().find(piece.view()) != std::string_view::npos;
}

void matchEveryPattern(const GbkText& subject) {
  const bool roundTrips = reader::utf16ToGbk(reader::gbkToUtf16(subject.view())) == subject;

  const GbkText declaration = reader::firstMatch(subject, CharsetPattern, false);
  if (!declaration.empty()) {
    FUZZ_CHECK(startsWithIgnoringCase(declaration.view(), "content="));
    // The name after "charset=" may run on over line ends; what leads up to it stays on one line.
    std::size_t named = std::string_view::npos;
    for (std::size_t at = 9; at < declaration.bytes().size() && named == std::string_view::npos; ++at) {
      if (startsWithIgnoringCase(declaration.view().substr(at), "charset=")) named = at;
    }
    FUZZ_CHECK(named != std::string_view::npos);
    FUZZ_CHECK(declaration.view().substr(0, named).find('\n') == std::string_view::npos);
    if (roundTrips) FUZZ_CHECK(occursIn(declaration, subject));
  }

  const GbkText tag = reader::firstMatch(subject, MetaCharsetPattern, false);
  const GbkText name = reader::firstMatchGroup(subject, MetaCharsetPattern, 1, false);
  // No byte of the name is one the group excludes; none of them can be the second byte of a character.
  FUZZ_CHECK(name.view().find_first_of("\t\n\f\r \"'<>/;") == std::string_view::npos);
  if (!name.empty()) {
    FUZZ_CHECK(!tag.empty());
    FUZZ_CHECK(endsWithIgnoringCase(tag.view(), name.view()));
  }
  if (!tag.empty()) {
    FUZZ_CHECK(startsWithIgnoringCase(tag.view(), "<meta"));
    if (roundTrips) FUZZ_CHECK(occursIn(tag, subject));
  }
  // A group beyond the pattern's own is never taken.
  FUZZ_CHECK(reader::firstMatchGroup(subject, MetaCharsetPattern, 2, false).empty());

  const GbkText title = reader::firstMatch(subject, TitlePattern, false);
  if (!title.empty()) {
    FUZZ_CHECK(startsWithIgnoringCase(title.view(), "<title>"));
    FUZZ_CHECK(endsWithIgnoringCase(title.view(), "</title>"));
    FUZZ_CHECK(title.view().find('\n') == std::string_view::npos);
    if (roundTrips) FUZZ_CHECK(occursIn(title, subject));
  }

  const GbkText date = reader::firstMatch(subject, DatePattern, false);
  if (!date.empty()) {
    FUZZ_CHECK(date.view().substr(0, 2) == "20");
    FUZZ_CHECK(date.bytes().size() >= 8 && date.bytes().size() <= 12);
    if (roundTrips) FUZZ_CHECK(occursIn(date, subject));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const GbkText subject(bytes);
  replaceWithEveryRule(subject);
  matchEveryPattern(subject);
  runStagesAgainstPatterns(bytes, subject);
  return 0;
}
