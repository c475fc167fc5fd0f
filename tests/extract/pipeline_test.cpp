#include <gtest/gtest.h>

#include "byte_helpers.h"
#include "extract/article.h"

namespace reader {
namespace {

using testing::gbk;

TEST(ExtractArticle, EmptyPageGivesOnlyTheIndent) {
  ArticleResult result = extractArticle(ByteSeq());
  EXPECT_EQ(result.title.bytes(), "");
  EXPECT_EQ(result.time.bytes(), "");
  EXPECT_EQ(result.body.bytes(), "    ");
}

TEST(ExtractArticle, DateFromThePageWhenNoBlockQualifies) {
  ArticleResult result = extractArticle(ByteSeq("<title>T</title><p>posted 2020-5-6</p>"));
  EXPECT_EQ(result.title.bytes(), "T");
  EXPECT_EQ(result.time.bytes(), "2020-5-6");
  EXPECT_EQ(result.body.bytes(), "    ");
}

TEST(ExtractArticle, RepeatedExtractionsAreIndependent) {
  const std::string paragraph = gbk(u8"这是一段足够长的正文，里面有逗号，也有句号。它应该被选为正文的一部分，没有问题。");
  const std::string page = "<title>" + gbk(u8"标题_网站") + "</title>\n<div>nav</div>\n<div>2021-3-4</div>\n<p>" +
                           paragraph + "</p>\n<p>" + paragraph + "</p>\n<div>a</div><div>b</div><div>c</div><div>d</div>";
  ArticleResult first = extractArticle(ByteSeq(page));
  const ArticleResult firstCopy = first;
  ArticleResult empty = extractArticle(ByteSeq());
  ArticleResult second = extractArticle(ByteSeq(page));
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, firstCopy);  // the earlier result is untouched by later extractions
  EXPECT_EQ(empty.body.bytes(), "    ");
  EXPECT_EQ(first.title.bytes(), gbk(u8"标题"));
  EXPECT_EQ(first.time.bytes(), "2021-3-4");
  EXPECT_EQ(first.body.bytes(), "    " + paragraph + "\r\n\r\n" + paragraph);
}

}  // namespace
}  // namespace reader
