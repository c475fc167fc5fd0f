#include <gtest/gtest.h>

#include "byte_helpers.h"
#include "extract/stages.h"

namespace reader {
namespace {

using testing::gbk;
using testing::hex;

const Array<ByteSeq> Marks = buildPunctuationMarks();

TEST(PunctuationMarks, NineteenEntriesInListOrder) {
  ASSERT_EQ(arrayCount(Marks), 19);
  EXPECT_EQ(arrayItem(Marks, 1).bytes(), "\xA3\xAC");   // ，
  EXPECT_EQ(arrayItem(Marks, 6).bytes(), "\xA1\xA2");   // 、
  EXPECT_EQ(arrayItem(Marks, 10).bytes(), "\xA3\xA2");  // ＂
  EXPECT_EQ(arrayItem(Marks, 11).bytes(), ",");
  EXPECT_EQ(arrayItem(Marks, 16).bytes(), "\xA1\xA2");  // 、 again
  EXPECT_EQ(arrayItem(Marks, 19).bytes(), ")");
}

TEST(Census, CountsLikeTheSearchLoop) {
  struct Case {
    std::string line;
    int census;      // countLineMarks
    int countMarks;  // every occurrence of every entry
  };
  const Case cases[] = {
      {gbk(u8"，正文，"), 1, 2},       // a mark at the first byte is not counted by the census
      {"ab?!cd", 1, 2},                // the second of two one-byte marks is skipped
      {gbk(u8"a?，b"), 1, 2},          // a one-byte mark hides a two-byte mark right after it
      {gbk(u8"a、b"), 1, 2},           // 、 stands in the list twice
      {gbk(u8"a＂,b"), 2, 2},          // the comma lies two bytes after the hit
      {"", 0, 0},
      {"x", 0, 0},
      {"\xB0\xA1\xA2\xD9", 1, 2},      // A1 A2 straddles two characters and counts as 、
      {"a,b,c.d", 3, 3},
      {"a,,,,b", 2, 4},
  };
  for (const Case& c : cases) {
    Array<ByteSeq> lines;
    arrayAppend(lines, ByteSeq(c.line));
    EXPECT_EQ(arrayItem(countLineMarks(lines, Marks), 1), c.census) << hex(c.line);
    EXPECT_EQ(countMarks(ByteSeq(c.line), Marks), c.countMarks) << hex(c.line);
  }
}

TEST(Census, NothingCountsFromTheSearchLimitOn) {
  // A mark at byte 8999 is found; at byte 9000 it is not, and the census of the line ends there.
  std::string line(9100, 'x');
  line[8998] = ',';  // position 8999
  EXPECT_EQ(findNextMark(ByteSeq(line), 1, Marks), 8999);
  line[8998] = 'x';
  line[8999] = ',';  // position 9000
  line[9050] = '.';
  EXPECT_EQ(findNextMark(ByteSeq(line), 1, Marks), -1);
  line[10] = ',';
  Array<ByteSeq> lines;
  arrayAppend(lines, ByteSeq(line));
  EXPECT_EQ(arrayItem(countLineMarks(lines, Marks), 1), 1);
  EXPECT_EQ(countMarks(ByteSeq(line), Marks), 3);  // countMarks has no limit

  // A two-byte mark beginning at 8999 is found although it ends at 9000.
  std::string wide(9100, 'x');
  wide.replace(8998, 2, "\xA3\xAC");
  EXPECT_EQ(findNextMark(ByteSeq(wide), 1, Marks), 8999);
}

TEST(Census, FindNextMarkTakesTheEarliestFromStart) {
  const ByteSeq line(gbk(u8"ab，cd.ef"));
  EXPECT_EQ(findNextMark(line, 1, Marks), 3);
  EXPECT_EQ(findNextMark(line, 4, Marks), 7);
  EXPECT_EQ(findNextMark(line, -5, Marks), 3);
  EXPECT_EQ(findNextMark(line, 8, Marks), -1);
  EXPECT_EQ(findNextMark(line, 100, Marks), -1);
}

}  // namespace
}  // namespace reader
