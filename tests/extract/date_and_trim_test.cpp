#include <gtest/gtest.h>

#include "byte_helpers.h"
#include "extract/stages.h"

namespace reader {
namespace {

using testing::G;
using testing::gbk;
using testing::hex;

TEST(ExtractDate, WorkedExampleThroughTrimBody) {
  const std::string headline = gbk(u8"滨江市图书馆夜间阅览室今晚开放啊");  // 32 bytes
  const std::string headline30 = headline.substr(0, 30);
  const std::string paragraphA = gbk(u8"第一段正文，说的是阅览室的开放时间。");
  const std::string paragraphB = gbk(u8"第二段正文，说的是读者的看法。");
  const std::string block = "\r\n" + headline30 + "\r\n2026-12-08 09:30\r\n" + paragraphA + "\r\n\r\n" + paragraphB +
                            "\r\n" + gbk(u8"来源：滨江日报");
  DatedBlock dated = extractDate(GbkText(block), GbkText());
  EXPECT_EQ(dated.time.bytes(), "2026-12-08");
  EXPECT_EQ(dated.bestBlock.bytes(), paragraphA + "\r\n\r\n" + paragraphB + "\r\n" + gbk(u8"来源：滨江日报"));
  EXPECT_EQ(trimBody(dated.bestBlock).bytes(), "    " + paragraphA + "\r\n\r\n" + paragraphB);
}

TEST(ExtractDate, DateWindowIs500Bytes) {
  const GbkText page("elsewhere 2001-1-1");
  for (int position : {1, 499, 500, 501}) {
    const std::string block = std::string(static_cast<std::size_t>(position - 1), 'x') + "2015-1-2 line\r\nrest";
    DatedBlock dated = extractDate(GbkText(block), page);
    if (position < 500) {
      EXPECT_EQ(dated.time.bytes(), "2015-1-2") << position;
      EXPECT_EQ(dated.bestBlock.bytes(), "rest") << position;
    } else {
      EXPECT_EQ(dated.time.bytes(), "") << position;  // the page text is not searched either
      EXPECT_EQ(dated.bestBlock.bytes(), block) << position;
    }
  }
}

TEST(ExtractDate, FormsOfDate) {
  struct Case {
    std::u8string_view block, time, rest;
  };
  const Case cases[] = {
      {u8"2015年12月7日 星期一\r\n正文", u8"2015年12月7", u8"正文"},
      {u8"发布于2009/1/31\r\nx", u8"2009/1/31", u8"x"},
      {u8"2009.01.31 and 2010-2-2\r\nx", u8"2009.01.31", u8"x"},
      {u8"2009,1,31\r\nx", u8"2009,1,31", u8"x"},
      {u8"15-1-31 or 1999-1-31 or 12015-1-1\r\nx", u8"2015-1-1", u8"x"},  // 20yy only, inside longer digits too
      {u8"the last line 2012-3-4", u8"2012-3-4", u8"the last line 2012-3-4"},  // no CR LF after: not cut
      {u8"2012-3-4\r\n", u8"2012-3-4", u8""},
      {u8"２０１５-1-1\r\nx", u8"", u8"２０１５-1-1\r\nx"},  // full-width digits are not \d
  };
  for (const Case& c : cases) {
    DatedBlock dated = extractDate(G(c.block), GbkText());
    EXPECT_EQ(dated.time, G(c.time)) << hex(G(c.block).bytes());
    EXPECT_EQ(dated.bestBlock, G(c.rest)) << hex(G(c.block).bytes());
  }
}

TEST(ExtractDate, WithoutADateInTheBlockThePageDecides) {
  DatedBlock dated = extractDate(GbkText("no date here\r\nbody"), GbkText("header 2020-02-02 footer 2021-1-1"));
  EXPECT_EQ(dated.time.bytes(), "2020-02-02");
  EXPECT_EQ(dated.bestBlock.bytes(), "no date here\r\nbody");
  DatedBlock empty = extractDate(GbkText(), GbkText("x 2019-9-9"));
  EXPECT_EQ(empty.time.bytes(), "2019-9-9");
  EXPECT_EQ(empty.bestBlock.bytes(), "");
}

TEST(TrimBody, TrailerIsCutAtTheFirstCutMarkThatOccurs) {
  struct Case {
    std::u8string_view body, expected;
  };
  const Case cases[] = {
      {u8"甲。乙.丙来源：丁", u8"    甲。"},            // "。" wins over a nearer "."
      {u8"甲（乙来源：丁", u8"    甲（"},
      {u8"甲(乙编辑:丁", u8"    甲("},
      {u8"甲.乙第1页", u8"    甲."},
      {u8"甲乙来源：丁", u8"    甲乙来源：丁"},        // no cut mark before the marker: the trailer stays
      {u8"一。来源：二。三下一页", u8"    一。"},    // the marker order decides, not nearness to the end
      {u8"一。二来源：三。四来源：五", u8"    一。二来源：三。"},  // the last occurrence of the marker
      {u8"一。上一篇二", u8"    一。"},
      {u8"一。。来源：", u8"    一。。"},
  };
  for (const Case& c : cases) EXPECT_EQ(trimBody(G(c.body)), G(c.expected)) << hex(G(c.body).bytes());
}

TEST(TrimBody, TrailerWindowIs5000Bytes) {
  // "x。" then the marker at position 4; the filler sets length - position.
  for (int filler : {4994, 4995}) {
    const std::string body = gbk(u8"x。来源：") + std::string(static_cast<std::size_t>(filler), 'f');
    const bool acted = static_cast<int>(body.size()) - 4 < 5000;
    EXPECT_EQ(trimBody(GbkText(body)).bytes(), acted ? "    " + gbk(u8"x。") : "    " + body) << filler;
  }
}

TEST(TrimBody, BlankEdgesGoAndTheIndentLeads) {
  struct Case {
    std::u8string_view body, expected;
  };
  const Case cases[] = {
      {u8"\r\n  \r\nA\r\n\r\nB\r\n \r\n", u8"    A\r\n\r\nB"},
      {u8"  \r\n \r\n", u8"    "},
      {u8"", u8"    "},
      {u8"　\r\nA\r\n　", u8"    　\r\nA\r\n　"},  // full-width spaces are not blank
      {u8" A \r\n B", u8"     A \r\n B"},         // lines keep their own spaces
  };
  for (const Case& c : cases) EXPECT_EQ(trimBody(G(c.body)), G(c.expected)) << hex(G(c.body).bytes());
}

}  // namespace
}  // namespace reader
