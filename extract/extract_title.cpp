// Stage B: the title element, its tags removed, cut before the site name that usually follows.
#include <array>

#include "extract/byte_search.h"
#include "extract/stages.h"
#include "services/charset.h"

namespace reader {
namespace {

constexpr std::string_view TitleOpen = "<title>";
constexpr std::string_view TitleClose = "</title>";
const std::array<GbkText, 5> TitleSeparators = {GbkText("-"), GbkText("_"), GbkText(","), GbkText("("),
                                                GbkText(" ")};
constexpr int NoSeparator = 100000;

// The first match of "<title>.*?</title>": the first "<title>" with a "</title>" after it on the same line, up to
// the nearest such "</title>". Found on the bytes, since "<" never hides inside a two-byte character, the
// tags are plain ASCII and `.` stops only at LF; only the element itself then crosses into Unicode and
// back, exactly as a match over the whole page would.
GbkText firstTitleElement(const GbkText& pageText) {
  using namespace bytesearch;
  const std::string_view page = pageText.view();
  for (std::size_t open = findFolded(page, 0, TitleOpen); open != npos;) {
    const std::size_t lineEnd = std::min(page.find('\n', open), page.size());
    const std::size_t close = findFolded(page.substr(0, lineEnd), open + TitleOpen.size(), TitleClose);
    if (close != npos) {
      // The pattern matches this element whole; what a match gives back is its text after the crossing
      // into Unicode and back.
      return utf8ToGbk(gbkToUtf8(page.substr(open, close + TitleClose.size() - open)));
    }
    // No later "<title>" on this line has a closing tag after it either.
    open = lineEnd == page.size() ? npos : findFolded(page, lineEnd, TitleOpen);
  }
  return GbkText();
}

}  // namespace

GbkText extractTitle(const GbkText& pageText) {
  GbkText title = firstTitleElement(pageText);
  title = applyMarkupRule(AnyTagRule, std::move(title));
  int titleCut = NoSeparator;
  for (const GbkText& separator : TitleSeparators) {
    int position = findText(title, separator, std::nullopt, false);
    if (position != -1 && position < titleCut) titleCut = position;
  }
  return leftText(title, titleCut - 1);
}

}  // namespace reader
