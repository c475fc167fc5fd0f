// Stage C: markup out, line breaks in. The rules run in a fixed order; block and line-break tags become
// CR LF before the catch-all tag rule removes the rest.
#include "extract/stages.h"
#include "services/patterns.h"

namespace reader {

const std::array<MarkupRule, 11> MarkupRules = {{
    {"<!DOCTYPE.*?>", "", ">"},
    {"<div.*?>", "\r\n", ">"},
    {"</p>", "\r\n", "</p>"},
    {"<br.*?>", "\r\n", ">"},
    {"<!--.*?-->", "", "-->"},
    {R"(<script.*?>.*?<\/script>)", "", "</script>"},
    {R"(<style.*?>.*?<\/style>)", "", "</style>"},
    {R"(<ul.*?>.*?<\/ul>)", "", "</ul>"},
    {"<.*?>", "", ">"},
    {"&.{1,5};|&#.{1,5};", "", ";"},
    {R"(&\w{3,10};)", "", ";"},
}};

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

StrippedPage stripMarkup(const GbkText& pageText) {
  GbkText text = pageText;
  for (const MarkupRule& rule : MarkupRules) {
    text = replaceAllMatches(text, GbkText(rule.pattern), GbkText(rule.replacement), GbkText(rule.closingLiteral));
  }
  const GbkText crLf("\r\n");
  const GbkText cr("\r");
  const GbkText lf("\n");
  // One left-to-right pass: three CR LF in a row become two. Only CR LF pairs are halved, before the
  // other forms of line break are brought to CR LF.
  text = replaceText(text, GbkText("\r\n\r\n"), crLf, std::nullopt, std::nullopt, true);
  text = replaceText(text, crLf, lf, std::nullopt, std::nullopt, true);
  text = replaceText(text, cr, lf, std::nullopt, std::nullopt, true);
  text = replaceText(text, lf, crLf, std::nullopt, std::nullopt, true);
  text = replaceText(text, GbkText("\t"), GbkText(), std::nullopt, std::nullopt, true);
  text = collapseRuns(text, ' ');
  Array<ByteSeq> lineBytes = splitBytes(toBytes(text), ByteSeq("\r\n"), std::nullopt);
  return StrippedPage{std::move(text), std::move(lineBytes)};
}

}  // namespace reader
