// The window's fatal report: a modal error box with no owner, showing the report's lines.
#include "app/fatal_report_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

#include <gtest/gtest.h>

#include "text/fatal_error.h"

namespace reader {
namespace {

TEST(FatalReportBoxTest, ShowsTheReportInAModalErrorBoxWithoutOwner) {
  // 数组成员引用下标超出定义范围, the report of an index beyond the count.
  const GbkText report = fatalReportText(
      1, GbkText("\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8"
                 "\xD2\xE5\xB7\xB6\xCE\xA7"));
  const QString expectedText = QString::fromUtf16(
      u"运行时出错!\n\n错误代码：1\n\n错误信息：数组成员引用下标超出定义范围\n");

  bool examined = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    examined = true;
    EXPECT_EQ(box->windowTitle(), QString::fromUtf16(u"错误"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), expectedText);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_TRUE(box->isModal());
    box->close();
  });
  showFatalReportBox(report);
  EXPECT_TRUE(examined);
}

TEST(FatalReportBoxDeathTest, InstalledBoxShowsTheReportThenTheProcessEndsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts afresh with its own application
  EXPECT_EXIT(
      {
        installFatalReportBox();
        QTimer::singleShot(0, [] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box != nullptr && box->icon() == QMessageBox::Critical) {
            std::fputs("error box shown\n", stderr);
            box->close();
          }
        });
        fatalRuntimeError(4, GbkText());
      },
      ::testing::ExitedWithCode(255), "error box shown");
}

}  // namespace
}  // namespace reader
