#include "text/byte_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "byte_helpers.h"

namespace reader {
namespace {

using testing::B;
using testing::hex;
using testing::T;
using std::nullopt;

// "你" (C4 E3) followed by "a": the smallest text with a two-byte character before a one-byte one.
constexpr std::string_view kNiA = "\xC4\xE3" "a";

TEST(Cutting, ClampsCountsAndCutsBytesNotCharacters) {
  struct Case {
    int n;
    std::string_view left, right;
  };
  const Case cases[] = {
      {1, "\xC4", "a"},  {2, "\xC4\xE3", "\xE3" "a"}, {0, "", ""},
      {-3, "", ""},      {3, kNiA, kNiA},             {10, kNiA, kNiA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(leftText(T(kNiA), c.n), T(c.left));
    EXPECT_EQ(rightText(T(kNiA), c.n), T(c.right));
    EXPECT_EQ(leftBytes(B(kNiA), c.n), B(c.left));
    EXPECT_EQ(rightBytes(B(kNiA), c.n), B(c.right));
  }
  EXPECT_EQ(rightBytes(B("x"), 0), ByteSeq());
  EXPECT_EQ(rightBytes(B("xyz"), 2), B("yz"));  // length - 1 drops exactly the first byte
}

TEST(Cutting, MidBytesClampsStartAndCount) {
  const ByteSeq five("12345");
  struct Case {
    int start, n;
    std::string_view expected;
  };
  const Case cases[] = {
      {0, 1, "1"}, {-5, 2, "12"}, {6, 1, ""}, {5, 9, "5"}, {2, -1, ""}, {2, 3, "234"}, {1, 5, "12345"},
      {-2147483647 - 1, 2147483647, "12345"}, {2147483647, 2147483647, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.start << "," << c.n);
    EXPECT_EQ(midBytes(five, c.start, c.n), B(c.expected));
  }
}

TEST(Building, SmallConstructorsAndConversions) {
  EXPECT_EQ(charFromCode(0), GbkText());
  EXPECT_EQ(charFromCode(13), T("\r"));
  EXPECT_EQ(charFromCode(0xB0).bytes(), "\xB0");
  EXPECT_EQ(blankText(80), T(std::string(80, ' ')));
  EXPECT_EQ(blankText(0), GbkText());
  EXPECT_EQ(blankText(-1), GbkText());

  EXPECT_EQ(toText(B(std::string_view("A\0B", 3))), T("A"));
  EXPECT_EQ(toText(B(std::string_view("\0A", 2))), GbkText());
  EXPECT_EQ(toText(B("ab\xB0")), T("ab\xB0"));  // a dangling first byte stays
  EXPECT_EQ(toBytes(GbkText()), ByteSeq());
  EXPECT_EQ(toBytes(toText(B("x\xC4\xE3y"))), B("x\xC4\xE3y"));
  EXPECT_EQ(GbkText(std::string("a\0b", 3)).bytes(), "a");  // a GbkText never holds 0x00
}

TEST(Building, ByteValueIsLittleEndianSigned) {
  struct Case {
    std::string_view bytes;
    std::int32_t value;
  };
  const Case cases[] = {
      {"\xFF", 255},
      {"\x01\x02", 513},
      {"", 0},
      {"\xFF\xFF\xFF\xFF", -1},
      {std::string_view("\x01\x00\x00\x00\x07", 5), 1},
      {std::string_view("\x00\x00\x00\x80", 4), -2147483647 - 1},
  };
  for (const Case& c : cases) EXPECT_EQ(byteValue(B(c.bytes)), c.value) << hex(c.bytes);
}

TEST(Building, ConcatAndEquality) {
  EXPECT_EQ(concatText(T("a"), GbkText(), T("\xC4\xE3")), T("a\xC4\xE3"));
  EXPECT_EQ(concatText(GbkText(), GbkText()), GbkText());
  EXPECT_EQ(concatBytes(B(std::string_view("\0", 1)), B("x")), B(std::string_view("\0x", 2)));
  EXPECT_FALSE(equalBytes(B("\n"), B("\n\r")));
  EXPECT_TRUE(equalBytes(ByteSeq(), ByteSeq()));
  EXPECT_TRUE(equalBytes(B(std::string_view("\0", 1)), B(std::string_view("\0", 1))));
  EXPECT_FALSE(equalText(T("utf-8"), T("UTF-8")));
  EXPECT_TRUE(equalText(GbkText(), GbkText()));
}

struct FindCase {
  std::string_view text, search;
  std::optional<int> start;
  bool caseInsensitive;
  int expected;
};

TEST(Scans, FindTextStepsByCharacter) {
  const FindCase cases[] = {
      {kNiA, "\xE3", nullopt, false, -1},  // would begin on a second byte
      {kNiA, "\xC4", nullopt, false, 1},
      {kNiA, "a", nullopt, false, 3},
      {kNiA, "a", 2, false, -1},  // from byte 2 the scan takes E3 61 as one character
      {kNiA, "a", 3, false, 3},
      {"0123456789", "", 5, false, 1},  // an empty search gives 1 whatever the start
      {"", "", nullopt, false, -1},
      {"abc", "", 4, false, -1},
      {"abc", "c", 4, false, -1},
      {"abc", "c", -7, false, 3},
      {"x UTF-8", "utf-8", nullopt, true, 3},
      {"Utf-8", "utf-8", nullopt, true, 1},
      {"UTF-8", "utf-8", nullopt, false, -1},
      {"\xB0\x41", "\xB0\x61", nullopt, true, 1},  // the fold reaches second bytes
      {"\xC4\xE4", "\xC4\xC4", nullopt, true, -1},  // nothing above Z folds
      {"[", "{", nullopt, true, -1},
      {"ab", "abc", nullopt, false, -1},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(findText(T(c.text), T(c.search), c.start, c.caseInsensitive), c.expected)
        << hex(c.text) << "/ " << hex(c.search) << "start " << c.start.value_or(-99);
  }
}

TEST(Scans, FindTextReverseFindsLastMatchEndingBeforeStart) {
  const FindCase cases[] = {
      {"aaa", "aa", nullopt, false, 2}, {"aaa", "aa", 4, false, 2},   {"aaa", "aa", 3, false, 1},
      {"aaa", "a", 1, false, -1},       {"aaa", "", 1, false, -1},    {"aaa", "", 2, false, 1},
      {"aaa", "aa", 99, false, 2},      {"", "a", nullopt, false, -1}, {"abAB", "ab", nullopt, true, 3},
      {"\xC4\xE3\xC4\xE3", "\xE3\xC4", nullopt, false, -1},
      {"x.y.z", ".", 4, false, 2},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(findTextReverse(T(c.text), T(c.search), c.start, c.caseInsensitive), c.expected)
        << hex(c.text) << "/ " << hex(c.search) << "start " << c.start.value_or(-99);
  }
}

TEST(Scans, ReplaceTextIsLeftToRightWithoutOverlap) {
  struct Case {
    std::string_view text, search;
    std::optional<std::string_view> replacement;
    std::optional<int> start, maximum;
    bool caseSensitive;
    std::string_view expected;
  };
  const Case cases[] = {
      {"\r\n\r\n\r\n", "\r\n\r\n", "\r\n", nullopt, nullopt, true, "\r\n\r\n"},
      {"\r\n\r\n\r\n\r\n", "\r\n\r\n", "\r\n", nullopt, nullopt, true, "\r\n\r\n"},
      {"\r\n\r\n\r\n\r\n\r\n", "\r\n\r\n", "\r\n", nullopt, nullopt, true, "\r\n\r\n\r\n"},
      {" a b  c ", " ", nullopt, nullopt, nullopt, true, "abc"},
      {"abc", "", "x", nullopt, nullopt, true, "abc"},
      {"", "a", "x", nullopt, nullopt, true, ""},
      {"A\xB0", "\r", "\n", nullopt, nullopt, true, "A\xB0"},    // a dangling first byte stays
      {"A\xB0", "\r\n", "\n", nullopt, nullopt, true, "A\xB0"},
      {"\xC4\r", "\r", "\n", nullopt, nullopt, true, "\xC4\r"},  // the CR is a second byte here
      {"aAaA", "a", "x", nullopt, nullopt, false, "xxxx"},
      {"aAaA", "a", "x", nullopt, nullopt, true, "xAxA"},
      {"aaaa", "a", "x", 3, nullopt, true, "aaxx"},
      {"aaaa", "a", "x", -4, 2, true, "xxaa"},
      {"aaaa", "a", "x", nullopt, 0, true, "aaaa"},
      {"aaaa", "a", "x", nullopt, -1, true, "xxxx"},
      {"aaaa", "a", "x", 5, nullopt, true, "aaaa"},
      {"aa", "a", "aa", nullopt, nullopt, true, "aaaa"},  // inserted text is never scanned again
  };
  for (const Case& c : cases) {
    std::optional<GbkText> replacement;
    if (c.replacement) replacement = T(*c.replacement);
    EXPECT_EQ(replaceText(T(c.text), T(c.search), replacement, c.start, c.maximum, c.caseSensitive).bytes(),
              c.expected)
        << hex(c.text) << "/ " << hex(c.search);
  }
}

std::vector<std::string> piecesOf(const Array<GbkText>& pieces) {
  std::vector<std::string> out;
  for (const GbkText& piece : pieces) out.push_back(piece.bytes());
  return out;
}
std::vector<std::string> piecesOf(const Array<ByteSeq>& pieces) {
  std::vector<std::string> out;
  for (const ByteSeq& piece : pieces) out.push_back(piece.bytes());
  return out;
}
using Pieces = std::vector<std::string>;

TEST(Splitting, SplitTextOnCrLf) {
  struct Case {
    std::string_view text;
    Pieces expected;
  };
  const Case cases[] = {
      {"a\r\n\r\nb", {"a", "", "b"}}, {"a\r\n", {"a"}},    {"\r\n", {""}},
      {"\r\na", {"", "a"}},            {"", {}},            {"a", {"a"}},
      {"\xC4\r\n\r\nx", {"\xC4\r\n", "x"}},  // C4 0D is one character; the separator is found after it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(piecesOf(splitText(T(c.text), T("\r\n"), nullopt)), c.expected) << hex(c.text);
  }
}

TEST(Splitting, DefaultsMaximumAndStepping) {
  EXPECT_EQ(piecesOf(splitText(T("a,b,,c"), nullopt, nullopt)), (Pieces{"a", "b", "", "c"}));
  EXPECT_EQ(piecesOf(splitText(T("a,b,c"), nullopt, 2)), (Pieces{"a", "b"}));
  EXPECT_EQ(piecesOf(splitText(T("a,b,c"), nullopt, 0)), Pieces{});
  EXPECT_EQ(piecesOf(splitText(T("a,b,c"), nullopt, -3)), Pieces{});
  EXPECT_EQ(piecesOf(splitText(T("a,b"), T(""), nullopt)), Pieces{"a,b"});
  // Byte stepping sees the second byte 5F; character stepping does not.
  EXPECT_EQ(piecesOf(splitBytes(B("\x81\x5F\x41"), B("_"), nullopt)), (Pieces{"\x81", "A"}));
  EXPECT_EQ(piecesOf(splitText(T("\x81\x5F\x41"), T("_"), nullopt)), Pieces{"\x81_A"});
  EXPECT_EQ(piecesOf(splitBytes(B(std::string_view("a\0b", 3)), nullopt, nullopt)), (Pieces{"a", "b"}));
  EXPECT_EQ(piecesOf(splitBytes(B("x\r\ny\r\n"), B("\r\n"), nullopt)), (Pieces{"x", "y"}));
  EXPECT_EQ(piecesOf(splitBytes(B("x\r\ny\r\nz"), B("\r\n"), 1)), (Pieces{"x"}));
}

TEST(Scans, FindBytesStepsByByte) {
  struct Case {
    std::string_view bytes, search;
    std::optional<int> start;
    int expected;
  };
  const Case cases[] = {
      {"abcabc", "c", 0, 3},          {"abcabc", "c", -4, 3},  {"abcabc", "c", 4, 6},
      {"abcabc", "c", 7, -1},         {"abcabc", "", 1, -1},   {"\xB0\xA3\xA1\xB0", "\xA3\xA1", 1, 2},
      {"abc", "abcd", 1, -1},          {"", "a", 1, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(findBytes(B(c.bytes), B(c.search), c.start), c.expected) << hex(c.bytes);
}

TEST(Arrays, AppendCountAndItem) {
  Array<int> numbers;
  EXPECT_EQ(arrayCount(numbers), 0);
  arrayAppend(numbers, 7);
  arrayAppend(numbers, 9);
  EXPECT_EQ(arrayCount(numbers), 2);
  EXPECT_EQ(arrayItem(numbers, 1), 7);
  EXPECT_EQ(arrayItem(numbers, 2), 9);
}

}  // namespace
}  // namespace reader

namespace reader {
namespace {

// replaceText step by step, one byte at a time, as the rules read: the reference for the span-copying
// production version.
std::string referenceReplace(std::string_view text, std::string_view search, std::string_view replacement,
                             bool caseSensitive) {
  const auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  const std::size_t length = text.size(), m = search.size();
  if (length == 0 || m == 0) return std::string(text);
  std::string result;
  std::size_t p = 0;
  while (length - p >= m) {
    bool match = true;
    for (std::size_t i = 0; i < m && match; ++i) {
      const auto a = static_cast<unsigned char>(text[p + i]), b = static_cast<unsigned char>(search[i]);
      match = caseSensitive ? a == b : fold(a) == fold(b);
    }
    if (match) {
      result += replacement;
      p += m;
    } else if (static_cast<unsigned char>(text[p]) >= 0x80) {
      if (p == length - 1) break;
      result += text.substr(p, 2);
      p += 2;
    } else {
      result += text[p];
      p += 1;
    }
  }
  return result + std::string(text.substr(p));
}

TEST(Scans, ReplaceTextAgreesWithByteByByteReplacementOnRandomTexts) {
  std::mt19937 random(11);
  const std::string alphabet = "aA\r\n \t\xB0\xC4\xE3\x81_";
  const auto randomText = [&](int maxLength) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
    for (int i = 0; i < length; ++i) text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(24), search = randomText(3), replacement = randomText(3);
    const bool caseSensitive = round % 2 == 0;
    ASSERT_EQ(replaceText(GbkText(text), GbkText(search), GbkText(replacement), std::nullopt, std::nullopt, caseSensitive).bytes(),
              referenceReplace(text, search, replacement, caseSensitive))
        << hex(text) << "/ " << hex(search);
  }
}

}  // namespace
}  // namespace reader
