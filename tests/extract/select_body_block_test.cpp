#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "byte_helpers.h"
#include "extract/stages.h"

namespace reader {
namespace {

const Array<ByteSeq> Marks = buildPunctuationMarks();

// A line of `length` bytes holding `marks` commas, none at its first byte and none side by side, so that
// its census count equals `marks`.
std::string lineWith(int length, int marks) {
  std::string line(static_cast<std::size_t>(length), 'a');
  for (int i = 0; i < marks; ++i) line[static_cast<std::size_t>(2 + 3 * i)] = ',';
  return line;
}

struct Page {
  Array<ByteSeq> lines;
  Array<int> markCounts;
};

Page pageOf(const std::vector<std::pair<int, int>>& lengthsAndMarks) {
  Page page;
  for (auto [length, marks] : lengthsAndMarks) {
    arrayAppend(page.lines, ByteSeq(lineWith(length, marks)));
  }
  page.markCounts = countLineMarks(page.lines, Marks);
  return page;
}

std::string joined(const Page& page, int first, int last) {
  std::string block;
  for (int k = first; k <= last; ++k) {
    if (k > first) block += "\r\n";
    block += arrayItem(page.lines, k).bytes();
  }
  return block;
}

TEST(SelectBodyBlock, FourteenLineExample) {
  // line: length/marks. Candidate 1 is accepted with weight 830; candidate 2 assembles the same lines,
  // now behind the carried-over CR LF separator, and wins with 910; nothing later beats it.
  const Page page = pageOf({{16, 0}, {0, 0}, {5, 0}, {0, 0}, {39, 0}, {16, 1}, {80, 3},
                            {70, 4}, {60, 2}, {0, 0}, {0, 0}, {5, 0}, {0, 0}, {18, 0}});
  const int expectedCounts[] = {0, 0, 0, 0, 0, 1, 3, 4, 2, 0, 0, 0, 0, 0};
  for (int k = 1; k <= 14; ++k) ASSERT_EQ(arrayItem(page.markCounts, k), expectedCounts[k - 1]) << k;

  BlockChoice choice = selectBodyBlock(page.lines, page.markCounts, Marks);
  EXPECT_EQ(choice.bestWeight, 910);
  EXPECT_EQ(choice.bestBlock.bytes(), "\r\n" + joined(page, 2, 9));
}

TEST(SelectBodyBlock, EmptyPageAndNoQualifyingBlock) {
  BlockChoice none = selectBodyBlock(Array<ByteSeq>(), Array<int>(), Marks);
  EXPECT_TRUE(none.bestBlock.empty());
  EXPECT_EQ(none.bestWeight, 0);

  // Plenty of marks but no line longer than 50 bytes: test 4 fails.
  const Page shortLines = pageOf({{10, 0}, {50, 5}, {50, 5}, {50, 5}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  EXPECT_TRUE(selectBodyBlock(shortLines.lines, shortLines.markCounts, Marks).bestBlock.empty());
  // One byte more on one line and it passes (candidate 1 first; candidate 5 then takes the same lines
  // behind the carried-over separator, 80 heavier).
  const Page oneLonger = pageOf({{10, 0}, {50, 5}, {51, 5}, {50, 5}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  EXPECT_EQ(selectBodyBlock(oneLonger.lines, oneLonger.markCounts, Marks).bestBlock.bytes(),
            "\r\n" + joined(oneLonger, 2, 4));
}

TEST(SelectBodyBlock, MarkMinimumIsSix) {
  // Lines 2 and 3 carry the marks; candidate 1 assembles them (its forward scan stops at line 7).
  const auto blockWith = [](int marksOnLine2, int marksOnLine3) {
    return pageOf({{10, 0}, {60, marksOnLine2}, {60, marksOnLine3}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  };
  const Page five = blockWith(2, 3);
  EXPECT_TRUE(selectBodyBlock(five.lines, five.markCounts, Marks).bestBlock.empty());
  const Page six = blockWith(3, 3);
  EXPECT_EQ(selectBodyBlock(six.lines, six.markCounts, Marks).bestBlock.bytes(), "\r\n" + joined(six, 2, 3));
}

TEST(SelectBodyBlock, CopyRightInAnyCaseExcludesTheBlock) {
  for (std::string word : {"CopyRight", "copyright", "COPYRIGHT", "cOpYrIgHt"}) {
    Page page = pageOf({{10, 0}, {60, 3}, {60, 3}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
    std::string third = arrayItem(page.lines, 3).bytes();
    third.replace(30, word.size(), word);
    Array<ByteSeq> lines;
    for (int k = 1; k <= arrayCount(page.lines); ++k) arrayAppend(lines, k == 3 ? ByteSeq(third) : arrayItem(page.lines, k));
    EXPECT_TRUE(selectBodyBlock(lines, page.markCounts, Marks).bestBlock.empty()) << word;
  }
}

TEST(SelectBodyBlock, ForwardScanEndIsKeptByLaterCandidates) {
  // Candidate 1's forward scan stops at line 8 (lines 5-8 short): blockEnd 4, block lines 2-4. Candidate 4
  // finds the same lines, but with the separator carried over its block begins with CR LF and weighs 80
  // more, so it replaces the first. Candidates 5-8 have no forward stop, reuse blockEnd 4 and tie.
  const Page page = pageOf({{10, 0}, {60, 3}, {60, 3}, {60, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  BlockChoice choice = selectBodyBlock(page.lines, page.markCounts, Marks);
  EXPECT_EQ(choice.bestBlock.bytes(), "\r\n" + joined(page, 2, 4));
  EXPECT_EQ(choice.bestWeight, 3 * 60 + 3 * 80);
}

TEST(SelectBodyBlock, LongRunStopsTheBackwardScanAndCarriesOver) {
  // Lines 1-6 are steady long lines with marks (not candidates); line 7 is a short candidate. Its backward
  // scan counts steady long lines 6, 5, 4, 3, 2: more than four at line 2, so blockStart = 4 and the
  // block starts at line 5, not at line 2. Candidate 8 stops at line 2 the same way and, behind the
  // carried-over separator, takes the same lines 80 heavier.
  const Page page = pageOf({{60, 3}, {60, 3}, {60, 3}, {60, 3}, {60, 3}, {60, 3}, {5, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
  BlockChoice choice = selectBodyBlock(page.lines, page.markCounts, Marks);
  EXPECT_EQ(choice.bestBlock.bytes(), "\r\n" + joined(page, 5, 7));
  EXPECT_EQ(choice.bestWeight, 125 + 3 * 80);
}

}  // namespace
}  // namespace reader
