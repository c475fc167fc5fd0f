// Stage A: the page's bytes become the reader's text, converted from UTF-8 when the page says so.
#include "extract/byte_search.h"
#include "extract/stages.h"
#include "services/charset.h"
#include "services/patterns.h"

namespace reader {
namespace {

// The classic declaration, <meta http-equiv=... content="text/html; charset=...">, on one line.
const GbkText CharsetPattern(R"(content=["'].*?charset=([^'"]*))");
// The first <meta> tag that declares a charset in any form, HTML5's <meta charset="utf-8"> included;
// the tag may span lines. Group 1 is the declared name.
const GbkText MetaCharsetPattern(R"(<meta\b[^>]*?\bcharset\s*=\s*["']?\s*([^\s"'<>/;]*))");
const GbkText Utf8Name("utf-8");
const GbkText Gb2312Name("gb2312");

bool declaresUtf8(const GbkText& pageText) {
  // Both tests need "utf-8" somewhere in the page; most pages in code page 936 never say it, and then
  // neither pattern need run.
  if (bytesearch::findFolded(pageText.view(), 0, Utf8Name.view()) == bytesearch::npos) return false;
  const MatchSubject subject(pageText);
  GbkText charsetDeclaration = firstMatch(subject, CharsetPattern, false);
  if (findText(charsetDeclaration, Utf8Name, std::nullopt, true) != -1) return true;
  // Most pages today declare UTF-8 only in the HTML5 form, which the classic test cannot see. The first
  // declaring tag decides, whichever its form, as in a browser.
  GbkText declaredName = firstMatchGroup(subject, MetaCharsetPattern, 1, false);
  return textLength(declaredName) == textLength(Utf8Name) && findText(declaredName, Utf8Name, std::nullopt, true) == 1;
}

}  // namespace

DecodedPage decodePage(ByteSeq pageBytes) {
  const ByteSeq lineFeed("\n");
  if (equalBytes(leftBytes(pageBytes, 1), lineFeed)) {
    pageBytes = rightBytes(pageBytes, byteLength(pageBytes) - 1);
  }
  GbkText pageText = toText(pageBytes);
  if (declaresUtf8(pageText)) {
    pageBytes = convertCharset(pageBytes, Utf8Name, Gb2312Name);
    pageText = toText(pageBytes);
  }
  return DecodedPage{std::move(pageBytes), std::move(pageText)};
}

}  // namespace reader
