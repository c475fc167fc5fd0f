// Stage F: the date near the top of the block, and the body without its date line, trailer and blank
// edges.
#include <array>

#include "extract/stages.h"
#include "services/patterns.h"

namespace reader {
namespace {

// 20yy, a separator (- / 年 , .), a month of one or two digits, a separator (- / 月 , .), a day of one or
// two digits. The day character itself is not part of the date.
const GbkText DatePattern(
    "20\\d{2}[\\-\\/\xC4\xEA,\\.]\\d{1,2}[\\-\\/\xD4\xC2,\\.]\\d{1,2}");  // 年 = C4 EA, 月 = D4 C2
constexpr int DateWindow = 500;      // a date in the block counts only when it begins before this byte
constexpr int TrailerWindow = 5000;  // a trailer marker counts only this close to the end

// Searched in this order; the first that occurs anywhere decides, not the nearest to the end.
const std::array<GbkText, 9> TrailerMarkers = {
    GbkText("\xC0\xB4\xD4\xB4\xA3\xBA"),  // 来源：
    GbkText("\xB1\xE0\xBC\xAD\xA3\xBA"),  // 编辑：
    GbkText("\xB1\xE0\xBC\xAD:"),         // 编辑:
    GbkText("\xC0\xB4\xD4\xB4:"),         // 来源:
    GbkText("\xCF\xC2\xD2\xBB\xD2\xB3"),  // 下一页
    GbkText("\xC9\xCF\xD2\xBB\xC6\xAA"),  // 上一篇
    GbkText("\xCF\xC2\xD2\xBB\xC6\xAA"),  // 下一篇
    GbkText("\xC9\xCF\xD2\xBB\xD2\xB3"),  // 上一页
    GbkText("\xB5\xDA" "1\xD2\xB3"),      // 第1页
};
// The sentence marks a trailer is cut at, in this order: 。 （ ( .
const std::array<GbkText, 4> CutMarks = {GbkText("\xA1\xA3"), GbkText("\xA3\xA8"), GbkText("("), GbkText(".")};
const GbkText BodyIndent("    ");
const GbkText CrLf("\r\n");

bool isBlankLine(const GbkText& line) {
  return textLength(replaceText(line, GbkText(" "), std::nullopt, std::nullopt, std::nullopt, true)) == 0;
}

}  // namespace

DatedBlock extractDate(const GbkText& bestBlock, const GbkText& pageText) {
  DatedBlock dated{GbkText(), bestBlock};
  GbkText dateText = firstMatch(bestBlock, DatePattern, false);
  const int datePosition = findText(bestBlock, dateText, std::nullopt, false);
  if (!dateText.empty() && datePosition < DateWindow) {
    dated.time = dateText;
    if (datePosition != -1) {
      // Everything up to the end of the date's line goes: the headline above it too.
      const int lineEnd = findText(bestBlock, CrLf, datePosition, false);
      if (lineEnd != -1) dated.bestBlock = rightText(bestBlock, textLength(bestBlock) - lineEnd - 1);
    }
  } else if (dateText.empty()) {
    dated.time = firstMatch(pageText, DatePattern, false);
  }
  return dated;
}

GbkText trimBody(const GbkText& body) {
  GbkText trimmed = body;
  int trailerPosition = -1;
  for (const GbkText& marker : TrailerMarkers) {
    trailerPosition = findTextReverse(trimmed, marker, std::nullopt, false);
    if (trailerPosition != -1) break;
  }
  if (trailerPosition != -1 && textLength(trimmed) - trailerPosition < TrailerWindow) {
    for (const GbkText& mark : CutMarks) {
      const int cutPosition = findTextReverse(trimmed, mark, trailerPosition, false);
      if (cutPosition != -1) {
        trimmed = leftText(trimmed, cutPosition + textLength(mark) - 1);
        break;
      }
    }
  }

  const Array<GbkText> bodyLines = splitText(trimmed, CrLf, std::nullopt);
  const int lineCount = arrayCount(bodyLines);
  int firstKept = 0;
  int lastKept = 0;
  for (int i = 1; i <= lineCount; ++i) {
    if (!isBlankLine(arrayItem(bodyLines, i))) {
      firstKept = i - 1;
      break;
    }
  }
  for (int i = lineCount; i >= 1; --i) {
    if (!isBlankLine(arrayItem(bodyLines, i))) {
      lastKept = i;
      break;
    }
  }
  std::string rebuilt(BodyIndent.view());
  for (int k = firstKept + 1; k <= lastKept; ++k) {
    if (k > firstKept + 1) rebuilt.append(CrLf.view());
    rebuilt.append(arrayItem(bodyLines, k).view());
  }
  return GbkText(std::move(rebuilt));
}

}  // namespace reader
