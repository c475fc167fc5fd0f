// The title stage exactly as the rules read: the whole page through firstMatch, tags through the regex.
#include <array>

#include "reference_stages.h"
#include "services/patterns.h"

namespace reader::reference {

GbkText extractTitle(const GbkText& pageText) {
  GbkText title = firstMatch(pageText, GbkText("<title>.*?</title>"), false);
  title = replaceAllMatches(title, GbkText("<.*?>"), GbkText());
  int titleCut = 100000;
  for (const char* separator : {"-", "_", ",", "(", " "}) {
    const int position = findText(title, GbkText(separator), std::nullopt, false);
    if (position != -1 && position < titleCut) titleCut = position;
  }
  return leftText(title, titleCut - 1);
}

GbkText normaliseLineBreaks(const GbkText& text) {
  const GbkText crLf("\r\n"), cr("\r"), lf("\n");
  GbkText result = replaceText(text, GbkText("\r\n\r\n"), crLf, std::nullopt, std::nullopt, true);
  result = replaceText(result, crLf, lf, std::nullopt, std::nullopt, true);
  result = replaceText(result, cr, lf, std::nullopt, std::nullopt, true);
  result = replaceText(result, lf, crLf, std::nullopt, std::nullopt, true);
  result = replaceText(result, GbkText("\t"), GbkText(), std::nullopt, std::nullopt, true);
  return collapseRuns(result, ' ');
}

GbkText trimBody(const GbkText& body) {
  static const char* const markers[] = {"\xC0\xB4\xD4\xB4\xA3\xBA", "\xB1\xE0\xBC\xAD\xA3\xBA", "\xB1\xE0\xBC\xAD:",
                                        "\xC0\xB4\xD4\xB4:", "\xCF\xC2\xD2\xBB\xD2\xB3", "\xC9\xCF\xD2\xBB\xC6\xAA",
                                        "\xCF\xC2\xD2\xBB\xC6\xAA", "\xC9\xCF\xD2\xBB\xD2\xB3", "\xB5\xDA" "1\xD2\xB3"};
  GbkText trimmed = body;
  int trailerPosition = -1;
  for (const char* marker : markers) {
    trailerPosition = findTextReverse(trimmed, GbkText(marker), std::nullopt, false);
    if (trailerPosition != -1) break;
  }
  if (trailerPosition != -1 && textLength(trimmed) - trailerPosition < 5000) {
    for (const char* mark : {"\xA1\xA3", "\xA3\xA8", "(", "."}) {
      const int cutPosition = findTextReverse(trimmed, GbkText(mark), trailerPosition, false);
      if (cutPosition != -1) {
        trimmed = leftText(trimmed, cutPosition + textLength(GbkText(mark)) - 1);
        break;
      }
    }
  }
  const Array<GbkText> lines = splitText(trimmed, GbkText("\r\n"), std::nullopt);
  const auto blank = [](const GbkText& line) {
    return textLength(replaceText(line, GbkText(" "), std::nullopt, std::nullopt, std::nullopt, true)) == 0;
  };
  int firstKept = 0, lastKept = 0;
  for (int i = 1; i <= arrayCount(lines); ++i) {
    if (!blank(arrayItem(lines, i))) {
      firstKept = i - 1;
      break;
    }
  }
  for (int i = arrayCount(lines); i >= 1; --i) {
    if (!blank(arrayItem(lines, i))) {
      lastKept = i;
      break;
    }
  }
  GbkText result("    ");
  for (int k = firstKept + 1; k <= lastKept; ++k) {
    result = k > firstKept + 1 ? concatText(result, GbkText("\r\n"), arrayItem(lines, k)) : concatText(result, arrayItem(lines, k));
  }
  return result;
}

}  // namespace reader::reference
