// Stage F: the date near the top of the block, and the body without its date line, trailer and blank
// edges.
#include <array>

#include "extract/stages.h"

namespace reader {
namespace {

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

bool isDigit(std::string_view text, std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; }

// How many bytes the separator at i takes: one of - / , . or the two bytes of the given character.
std::size_t separatorAt(std::string_view text, std::size_t i, std::string_view character) {
  if (i >= text.size()) return 0;
  const char c = text[i];
  if (c == '-' || c == '/' || c == ',' || c == '.') return 1;
  return text.substr(i, 2) == character ? 2 : 0;
}

// findTextReverse of every marker over the whole body at once: one character scan that remembers the last
// position each marker matched at, instead of one scan per marker.
std::array<int, TrailerMarkers.size()> lastTrailerPositions(const GbkText& body) {
  std::array<int, TrailerMarkers.size()> last;
  last.fill(-1);
  const std::string_view text = body.view();
  for (std::size_t p = 0; p < text.size(); p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1) {
    // Every marker begins with a first byte (above 127): nothing else can start one.
    if (static_cast<unsigned char>(text[p]) < 0x80) continue;
    for (std::size_t m = 0; m < TrailerMarkers.size(); ++m) {
      const std::string_view marker = TrailerMarkers[m].view();
      if (text[p] == marker[0] && p + 1 < text.size() && text[p + 1] == marker[1] &&
          text.compare(p, marker.size(), marker) == 0) {
        last[m] = static_cast<int>(p + 1);
      }
    }
  }
  return last;
}

bool isBlankLine(const GbkText& line) {
  return textLength(replaceText(line, GbkText(" "), std::nullopt, std::nullopt, std::nullopt, true)) == 0;
}

}  // namespace

// Found on the bytes: every byte of a date is ASCII or one of the two characters 年 and 月, and none of
// them can hide inside a two-byte character (a "2" or a digit is never a second byte, and each part
// follows an ASCII byte), so the first "20" that starts a date is where the pattern's first match starts.
// The month and the day take two digits when they can, as the pattern's greedy repeats do.
GbkText findDate(const GbkText& text) {
  constexpr std::string_view Year = "\xC4\xEA", Month = "\xD4\xC2";  // 年, 月
  const std::string_view t = text.view();
  for (std::size_t start = t.find("20"); start != std::string_view::npos; start = t.find("20", start + 1)) {
    std::size_t i = start + 2;
    if (!isDigit(t, i) || !isDigit(t, i + 1)) continue;
    i += 2;
    const std::size_t first = separatorAt(t, i, Year);
    if (first == 0) continue;
    i += first;
    if (!isDigit(t, i)) continue;
    std::size_t second = 0;
    if (isDigit(t, i + 1) && (second = separatorAt(t, i + 2, Month)) != 0) {
      i += 2;
    } else if ((second = separatorAt(t, i + 1, Month)) != 0) {
      i += 1;
    } else {
      continue;
    }
    i += second;
    if (!isDigit(t, i)) continue;
    const std::size_t end = isDigit(t, i + 1) ? i + 2 : i + 1;
    return GbkText(t.substr(start, end - start));
  }
  return GbkText();
}

DatedBlock extractDate(const GbkText& bestBlock, const GbkText& pageText) {
  DatedBlock dated{GbkText(), bestBlock};
  GbkText dateText = findDate(bestBlock);
  const int datePosition = findText(bestBlock, dateText, std::nullopt, false);
  if (!dateText.empty() && datePosition < DateWindow) {
    dated.time = dateText;
    if (datePosition != -1) {
      // Everything up to the end of the date's line goes: the headline above it too.
      const int lineEnd = findText(bestBlock, CrLf, datePosition, false);
      if (lineEnd != -1) dated.bestBlock = rightText(bestBlock, textLength(bestBlock) - lineEnd - 1);
    }
  } else if (dateText.empty()) {
    dated.time = findDate(pageText);
  }
  return dated;
}

GbkText trimBody(const GbkText& body) {
  GbkText trimmed = body;
  int trailerPosition = -1;
  for (int position : lastTrailerPositions(trimmed)) {  // in marker order: the first marker that occurs
    trailerPosition = position;
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
