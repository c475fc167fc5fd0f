#include "text/fatal_error.h"

#include <gtest/gtest.h>

#include "byte_helpers.h"
#include "text/byte_text.h"

namespace reader {
namespace {

// The report's lines in code page 936.
const std::string kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";     // 运行时出错!
const std::string kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";    // 错误代码：
const std::string kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";  // 错误信息：
const std::string kBeyondCount =  // 数组成员引用下标超出定义范围
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8\xD2\xE5\xB7\xB6\xCE\xA7";
const std::string kBelowOne =  // 数组成员引用下标必须大于等于1
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA\xB5\xC8\xD3\xDA"
    "1";

TEST(FatalReport, TextHasItsLinesAndPairs) {
  EXPECT_EQ(fatalReportText(1, GbkText(kBeyondCount)).bytes(),
            kHeading + "\r\n\r\n" + kCodeLabel + "1\r\n\r\n" + kMessageLabel + kBeyondCount + "\r\n");
  EXPECT_EQ(fatalReportText(0, GbkText("m")).bytes(), kHeading + "\r\n\r\n" + kMessageLabel + "m\r\n");
  EXPECT_EQ(fatalReportText(-7, GbkText()).bytes(), kHeading + "\r\n\r\n" + kCodeLabel + "-7\r\n\r\n");
}

// The death tests see the report on standard error exactly as its bytes, since no sink is installed.
TEST(FatalReportDeathTest, IndexOutsideTheArrayEndsTheProcess) {
  Array<int> empty;
  Array<int> two;
  arrayAppend(two, 1);
  arrayAppend(two, 2);
  const std::string beyond = "^" + kHeading + "\r\n\r\n" + kCodeLabel + "1\r\n\r\n" + kMessageLabel + kBeyondCount + "\r\n$";
  const std::string below = kCodeLabel + "4\r\n\r\n" + kMessageLabel + kBelowOne;
  EXPECT_EXIT(arrayItem(two, 3), ::testing::ExitedWithCode(255), beyond);
  EXPECT_EXIT(arrayItem(empty, 1), ::testing::ExitedWithCode(255), beyond);
  EXPECT_EXIT(arrayItem(empty, 0), ::testing::ExitedWithCode(255), below);
  EXPECT_EXIT(arrayItem(two, -1), ::testing::ExitedWithCode(255), below);
}

TEST(FatalReportDeathTest, ExhaustedMemoryNamesTheRequestSize) {
  // 分配 1234 字节内存失败!
  const std::string expected = "^" + kHeading + "\r\n\r\n" + kMessageLabel +
                               "\xB7\xD6\xC5\xE4 1234 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!\r\n$";
  EXPECT_EXIT(fatalOutOfMemory(1234), ::testing::ExitedWithCode(255), expected);
}

}  // namespace
}  // namespace reader
