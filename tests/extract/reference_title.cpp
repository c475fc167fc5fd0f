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

}  // namespace reader::reference
