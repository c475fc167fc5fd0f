// Stage B: the title element, its tags removed, cut before the site name that usually follows.
#include <array>

#include "extract/stages.h"
#include "services/patterns.h"

namespace reader {
namespace {

const GbkText TitlePattern("<title>.*?</title>");
const GbkText TagPattern("<.*?>");
const std::array<GbkText, 5> TitleSeparators = {GbkText("-"), GbkText("_"), GbkText(","), GbkText("("),
                                                GbkText(" ")};
constexpr int NoSeparator = 100000;

}  // namespace

GbkText extractTitle(const GbkText& pageText) {
  GbkText title = firstMatch(pageText, TitlePattern, false);
  title = replaceAllMatches(title, TagPattern, GbkText(), GbkText(">"));
  int titleCut = NoSeparator;
  for (const GbkText& separator : TitleSeparators) {
    int position = findText(title, separator, std::nullopt, false);
    if (position != -1 && position < titleCut) titleCut = position;
  }
  return leftText(title, titleCut - 1);
}

}  // namespace reader
