// The six stages of the extraction, in pipeline order, each a pure function of its inputs.
// extractArticle (article.h) runs them; they are declared here so that each can be tested on its own.
#pragma once

#include <array>
#include <cstdint>
#include <vector>
#include <string_view>

#include "extract/article.h"
#include "text/byte_text.h"

namespace reader {

// --- Stage A: page decoding ---
struct DecodedPage {
  ByteSeq pageBytes;  // one leading LF dropped; re-encoded into code page 936 when the page declares UTF-8
  GbkText pageText;   // pageBytes as text
};
// The page's own markup decides: a "content=" declaration naming utf-8, or failing that the first <meta>
// tag that declares a charset (the HTML5 <meta charset=...> form too) naming utf-8. Every other page is
// taken as code page 936.
DecodedPage decodePage(ByteSeq pageBytes);

// --- Stage B: title ---
// The first <title>...</title> on one line, tags removed, cut before its first "-", "_", ",", "(" or " ".
GbkText extractTitle(const GbkText& pageText);

// --- Stage C: markup stripping and line normalisation ---
// The shapes the markup rules' matches take. Each rule is a byte pattern read without regard to ASCII case,
// `.` matching every byte; the shape says how its leftmost match is found without a regex engine.
enum class MarkupShape {
  TagFromPrefix,   // the prefix, then anything up to the first ">":           "<div.*?>", "<.*?>"
  Literal,         // the prefix alone:                                          "</p>"
  Comment,         // "<!--", then anything up to the first "-->" after it:     "<!--.*?-->"
  Element,         // the prefix, up to the first ">", then up to the first
                   // closing tag after that:                                   "<script.*?>.*?<\/script>"
  ShortReference,  // "&", one to five bytes, ";" (as many as fit), or "&#" so: "&.{1,5};|&#.{1,5};"
  NamedReference,  // "&", three to ten word characters, ";":                  "&\w{3,10};"
};

struct MarkupRule {
  std::string_view pattern;         // the rule as a regular expression
  std::string_view replacement;
  std::string_view closingLiteral;  // every match of the pattern ends with it
  MarkupShape shape;
  std::string_view prefix;          // every match begins with it
};
extern const std::array<MarkupRule, 11> MarkupRules;
// Rule 9, "<.*?>": every remaining tag. The title stage removes tags with it too.
inline const MarkupRule& AnyTagRule = MarkupRules[8];

// Every match of the rule replaced, left to right without overlap; the same text the regular expression
// would give through replaceAllMatches, found in one pass without backtracking.
GbkText applyMarkupRule(const MarkupRule& rule, GbkText text);

struct StrippedPage {
  GbkText pageText;         // the cleaned text: markup gone, every line break CR LF, space runs collapsed
  Array<ByteSeq> lineBytes;  // the cleaned text split at every CR LF
};
StrippedPage stripMarkup(const GbkText& pageText);
// The text steps after the markup rules, in one pass: CR LF CR LF halved once, every line break made
// CR LF, tabs removed, runs of spaces collapsed. Each step steps over two-byte characters whole, so a CR,
// LF or tab right after a byte above 127 stays.
GbkText normaliseLineBreaks(const GbkText& text);
// Every run of runByte shrinks to its first byte; a run at the very start of the text disappears.
GbkText collapseRuns(const GbkText& text, int runByte);

// --- Stage D: punctuation census ---
// A hit at this byte position or beyond counts as no hit.
inline constexpr int MarkSearchLimit = 9000;
// The nineteen marks, ten full-width then their one-byte forms ("、" stands in both halves).
Array<ByteSeq> buildPunctuationMarks();
// Position of the earliest mark beginning at or after start and before MarkSearchLimit, or -1.
int findNextMark(const ByteSeq& line, int start, const Array<ByteSeq>& marks);
// Every occurrence of every mark, with no position limit ("、" counts twice).
int countMarks(const ByteSeq& data, const Array<ByteSeq>& marks);
// One count per line: searches start at the line's second byte and go on two bytes after each hit.
Array<int> countLineMarks(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks);
// countMarks of every line, in line order.
std::vector<int> countMarksPerLine(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks);

// --- Stage E: body block selection ---
struct BlockChoice {
  GbkText bestBlock;            // empty when no block passed every test
  std::int64_t bestWeight = 0;  // its weight: bytes, with 80 for every CR LF
};
// lineBytes as stripMarkup makes them: no line holds a 0x00 byte or a CR LF pair.
BlockChoice selectBodyBlock(const Array<ByteSeq>& lineBytes, const Array<int>& markCounts,
                            const Array<ByteSeq>& marks);

// --- Stage F: date and body trimming ---
// DatePattern: 20yy, a separator (- / 年 , .), a month of one or two digits, a separator (- / 月 , .), a day
// of one or two digits. The day character itself is not part of the date.
inline constexpr std::string_view DatePattern =
    "20\\d{2}[\\-\\/\xC4\xEA,\\.]\\d{1,2}[\\-\\/\xD4\xC2,\\.]\\d{1,2}";  // 年 = C4 EA, 月 = D4 C2
// The first match of DatePattern in text (as firstMatch would give it), or the empty text.
GbkText findDate(const GbkText& text);

struct DatedBlock {
  GbkText time;       // the date taken, or empty
  GbkText bestBlock;  // the block, cut after the date's line when the date came from near its top
};
// A date within the block's first 500 bytes is taken and the block cut after its line; with no date in
// the block, the first date of the whole cleaned page is taken and the block stays whole.
DatedBlock extractDate(const GbkText& bestBlock, const GbkText& pageText);
// Cuts the trailer (source, editor, page navigation) at the last sentence mark before it, drops blank
// lines at both ends and indents the first line by four spaces.
GbkText trimBody(const GbkText& body);

}  // namespace reader
