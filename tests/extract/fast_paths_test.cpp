// The production block selection and census against their word-for-word references, on every corpus page
// and on thousands of generated pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <optional>

#include "byte_helpers.h"
#include "extract/byte_search.h"
#include "extract/stages.h"
#include "reference_stages.h"
#include "services/patterns.h"

namespace reader {
namespace {

using testing::hex;
using testing::readFile;

const Array<ByteSeq> Marks = buildPunctuationMarks();

void expectSameSelection(const Array<ByteSeq>& lines, const std::string& what) {
  const Array<int> markCounts = countLineMarks(lines, Marks);
  ASSERT_EQ(markCounts, reference::countLineMarks(lines, Marks)) << what;
  const BlockChoice fast = selectBodyBlock(lines, markCounts, Marks);
  const BlockChoice literal = reference::selectBodyBlock(lines, markCounts, Marks);
  ASSERT_EQ(fast.bestWeight, literal.bestWeight) << what;
  ASSERT_EQ(fast.bestBlock, literal.bestBlock) << what;
}

// Each markup rule through the regular-expression engine, as the reference for the one-pass scanners.
GbkText ruleThroughRegex(const MarkupRule& rule, const GbkText& text, bool bounded) {
  return replaceAllMatches(text, GbkText(rule.pattern), GbkText(rule.replacement),
                           bounded ? std::optional<GbkText>(GbkText(rule.closingLiteral)) : std::nullopt);
}

TEST(FastPaths, AgreeOnEveryCorpusPage) {
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(READER_CORPUS_DIR)) {
    if (entry.path().extension() != ".html") continue;
    const std::string name = entry.path().filename();
    DecodedPage decoded = decodePage(ByteSeq(readFile(entry.path())));
    EXPECT_EQ(extractTitle(decoded.pageText), reference::extractTitle(decoded.pageText)) << name;
    GbkText text = decoded.pageText;
    for (const MarkupRule& rule : MarkupRules) {
      GbkText fast = applyMarkupRule(rule, text);
      ASSERT_EQ(fast, ruleThroughRegex(rule, text, true)) << name << " " << rule.pattern;
      text = std::move(fast);
    }
    ASSERT_EQ(normaliseLineBreaks(text), reference::normaliseLineBreaks(text)) << name;
    const StrippedPage stripped = stripMarkup(decoded.pageText);
    ASSERT_EQ(findDate(stripped.pageText), firstMatch(stripped.pageText, GbkText(DatePattern), false)) << name;
    ASSERT_EQ(findDate(decoded.pageText), firstMatch(decoded.pageText, GbkText(DatePattern), false)) << name;
    expectSameSelection(stripped.lineBytes, name);
    const BlockChoice choice =
        selectBodyBlock(stripped.lineBytes, countLineMarks(stripped.lineBytes, Marks), Marks);
    for (const GbkText& block : {choice.bestBlock, extractDate(choice.bestBlock, stripped.pageText).bestBlock,
                                 stripped.pageText}) {
      ASSERT_EQ(trimBody(block), reference::trimBody(block)) << name;
    }
    ++pages;
  }
  EXPECT_GE(pages, 141);
}

TEST(FastPaths, MarkupRulesAgreeWithTheRegexOnGeneratedText) {
  static const char* const pieces[] = {"<", ">", "<div", "<DIV ", "<br/", "</p>", "</P>", "<!--", "-->", "<!DOCTYPE",
                                       "<script", "</script>", "</SCRIPT>", "<style", "</style>", "<ul>", "</ul>",
                                       "&", ";", "#", "amp", "nbsp", "x", "1", "_", "\r\n", "\n", "\xB0\xA1", "\xC4",
                                       "-", "!", "<title>", "</title>"};
  std::mt19937 random(42);
  int compared = 0;
  for (int round = 0; round < 6000; ++round) {
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < count; ++i) text += pieces[std::uniform_int_distribution<int>(0, 32)(random)];
    const GbkText subject(text);
    for (const MarkupRule& rule : MarkupRules) {
      const GbkText expected = ruleThroughRegex(rule, subject, false);
      if (expected.empty() && !subject.empty()) continue;  // the engine gave up on this one
      ASSERT_EQ(applyMarkupRule(rule, subject), expected) << hex(text) << " " << rule.pattern;
      ++compared;
    }
    ASSERT_EQ(extractTitle(subject), reference::extractTitle(subject)) << hex(text);
  }
  EXPECT_GT(compared, 6000 * 10);
}

// Lines built from pieces that exercise every rule: marks of both widths, marks that straddle characters,
// runs of short and steady long lines, "CopyRight" in any case, and malformed text where a line ends on
// the first byte of a two-byte character or holds a lone CR.
class PageGenerator {
 public:
  explicit PageGenerator(unsigned seed) : random_(seed) {}

  Array<ByteSeq> lines() {
    Array<ByteSeq> result;
    const int count = pick(0, 60);
    const int style = pick(0, 3);
    for (int i = 0; i < count; ++i) arrayAppend(result, ByteSeq(line(style)));
    return result;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string line(int style) {
    static const char* const pieces[] = {
        "a", "bc", " ", "\xD6\xD0", "\xCE\xC4", "\xA3\xAC", "\xA1\xA3", ",", ".", "!?", "\xA1\xA2", "\xA3\xA2,",
        "\xB0\xA1\xA2\xD9", "CopyRight", "copyright", "\r", "\n", "\xA3", "(", ")", ":", ";", "xxxxxxxxxx",
    };
    int length;
    switch (style) {
      case 0: length = pick(0, 3) == 0 ? pick(0, 19) : pick(20, 120); break;  // mixed
      case 1: length = pick(0, 25); break;                                    // around the short limit
      case 2: length = pick(40, 70); break;                                   // steady long lines
      default: length = pick(0, 200); break;
    }
    std::string text;
    while (static_cast<int>(text.size()) < length) {
      const int which = pick(0, 22);
      if ((which == 13 || which == 14) && pick(0, 30) != 0) continue;  // the word stays rare
      text += pieces[which];
    }
    if (pick(0, 8) == 0) text += "\xC4";  // ends on a first byte
    // Keep what the markup stage guarantees: no CR LF pair inside a line.
    for (std::size_t p; (p = text.find("\r\n")) != std::string::npos;) text.erase(p, 1);
    return text;
  }

  std::mt19937 random_;
};

TEST(FastPaths, AgreeOnGeneratedPages) {
  for (unsigned seed = 1; seed <= 4000; ++seed) {
    PageGenerator generator(seed);
    expectSameSelection(generator.lines(), "seed " + std::to_string(seed));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FastPaths, FindDateAgreesWithThePatternOnGeneratedText) {
  // Noise around date-like runs whose parts are each sometimes wrong: the year, the separators (with
  // the characters 年 and 月, a lone first byte, 日), the number of digits.
  static const char* const noise[] = {"2", "0", "1", "x", " ", "\r\n", "\xC4", "\xEA", "\xA3\xB2", "\xB0\xA1", "20"};
  static const char* const years[] = {"20", "2020", "201", "19", "200", "2x"};
  static const char* const separators[] = {"-", "/", ",", ".", "\xC4\xEA", "\xD4\xC2", ":", "\xC8\xD5", "\xC4", ""};
  static const char* const numbers[] = {"1", "12", "123", "0", "09", ""};
  std::mt19937 random(2015);
  const auto pick = [&](const auto& table) {
    return table[std::uniform_int_distribution<std::size_t>(0, std::size(table) - 1)(random)];
  };
  int found = 0;
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    for (int part = std::uniform_int_distribution<int>(1, 3)(random); part > 0; --part) {
      for (int i = std::uniform_int_distribution<int>(0, 3)(random); i > 0; --i) text += pick(noise);
      text += std::string(pick(years)) + pick(numbers) + pick(separators) + pick(numbers) + pick(separators) + pick(numbers);
    }
    const GbkText subject(text);
    const GbkText expected = firstMatch(subject, GbkText(DatePattern), false);
    ASSERT_EQ(findDate(subject), expected) << hex(text);
    found += expected.empty() ? 0 : 1;
  }
  EXPECT_GT(found, 1000);
}

TEST(FastPaths, LineBreaksAgreeWithTheStepByStepReplacementsOnGeneratedText) {
  static const char* const pieces[] = {"\r", "\n", "\r\n", "\t", " ", "  ", "a", "\xC4", "\xB0\xA1", "\xC4\r", "\xC4\n"};
  std::mt19937 random(1310);
  for (int round = 0; round < 30000; ++round) {
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, 20)(random);
    for (int i = 0; i < count; ++i) text += pieces[std::uniform_int_distribution<int>(0, 10)(random)];
    ASSERT_EQ(normaliseLineBreaks(GbkText(text)), reference::normaliseLineBreaks(GbkText(text))) << hex(text);
  }
}

TEST(FastPaths, FoldedSearchFindsWhatAByteByByteSearchFinds) {
  const std::string alphabet = "<!-dDiIvV/pP>&u8tT\xC4";
  const char* const literals[] = {"<div", "<!--", "-->", "</p>", "utf-8", "<", "&", "copyright", "dd", "<!DOCTYPE"};
  std::mt19937 random(5);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < length; ++i) text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    for (std::string_view literal : literals) {
      const std::size_t from = std::uniform_int_distribution<std::size_t>(0, text.size())(random);
      std::size_t expected = bytesearch::npos;
      for (std::size_t at = from; at + literal.size() <= text.size() && expected == bytesearch::npos; ++at) {
        if (bytesearch::startsWithFolded(text, at, literal)) expected = at;
      }
      ASSERT_EQ(bytesearch::findFolded(text, from, literal), expected) << hex(text) << " " << literal << " from " << from;
    }
  }
}

TEST(FastPaths, CountMarksAgreesOnGeneratedBytes) {
  std::mt19937 random(7);
  const std::string alphabet = "a,.:!?;()\xA3\xAC\xAE\xBA\xA1\xBF\xA2\xBB\xA8\xA9\r\n";
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int length = std::uniform_int_distribution<int>(0, round < 1990 ? 40 : 12000)(random);
    for (int i = 0; i < length; ++i) bytes += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    const ByteSeq data(bytes);
    ASSERT_EQ(countMarks(data, Marks), reference::countMarks(data, Marks)) << hex(bytes);
    for (int start : {-1, 1, 2, 5, 8999, 9001}) {
      ASSERT_EQ(findNextMark(data, start, Marks), reference::findNextMark(data, start, Marks)) << hex(bytes);
    }
  }
}

}  // namespace
}  // namespace reader
