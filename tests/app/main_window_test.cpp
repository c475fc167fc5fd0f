// The window as the user meets it: its controls, its frame, the keys it answers, and the Read command
// against pages served on loopback. Expected Chinese texts are written as UTF-16 literals here, so they
// check the window's own code-page-936 texts rather than repeat them.
#include "app/main_window.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "extract/article.h"
#include "loopback_server.h"
#include "services/charset.h"
#include "text/byte_text.h"

namespace reader {
namespace {

using testing::LoopbackServer;

QString text16(const char16_t* text) { return QString::fromUtf16(text); }

// A box's text back in code page 936.
GbkText gbkFromBox(const QString& text) { return utf16ToGbk(text.toStdU16String()); }

// Types text that has no key of its own, as an input method delivers it: one key event per character.
void typeText(QWidget* widget, const QString& text) {
  for (QChar character : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
  }
}

// The request line with every %XX escape turned back into its byte.
std::string percentDecoded(const std::string& line) {
  std::string bytes;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '%' && i + 2 < line.size()) {
      bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += line[i];
    }
  }
  return bytes;
}

std::string readFixture(const std::string& name) {
  std::ifstream file(std::string(READER_APP_FIXTURES_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const char16_t* const kAddressBox = u"编辑框1";
const char16_t* const kReadButton = u"按钮1";
const char16_t* const kTitleBox = u"编辑框2";
const char16_t* const kDateBox = u"编辑框3";
const char16_t* const kBodyBox = u"超级编辑框1";
const char16_t* const kBodyFace = u"微软雅黑";
const char16_t* const kTypingFace = u"宋体";

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { window_ = std::make_unique<MainWindow>(); }

  template <class Widget>
  Widget* control(const char16_t* name) {
    auto* found = window_->findChild<Widget*>(text16(name), Qt::FindDirectChildrenOnly);
    if (found == nullptr) ADD_FAILURE() << "no control named " << text16(name).toStdString();
    return found;
  }
  QLineEdit* addressBox() { return control<QLineEdit>(kAddressBox); }
  QPushButton* readButton() { return control<QPushButton>(kReadButton); }
  QLineEdit* titleBox() { return control<QLineEdit>(kTitleBox); }
  QLineEdit* dateBox() { return control<QLineEdit>(kDateBox); }
  QTextEdit* bodyBox() { return control<QTextEdit>(kBodyBox); }

  // Shown, exposed and active, so that the window's keyboard shortcuts apply.
  void showActive() {
    window_->showCentred();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  void clickRead() { QTest::mouseClick(readButton(), Qt::LeftButton); }

  std::unique_ptr<MainWindow> window_;
};

// Every character in the body box carries exactly the given face at 9 points, on the baseline, with
// no effects and the automatic colour.
void expectWholeBodyIn(QTextEdit* box, const QString& face) {
  int checkedCharacters = 0;
  for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextCharFormat format = fragment.fragment().charFormat();
      const QString where = fragment.fragment().text();
      EXPECT_EQ(format.fontFamilies().toStringList(), QStringList{face}) << where.toStdString();
      EXPECT_EQ(format.fontPointSize(), 9.0) << where.toStdString();
      EXPECT_EQ(format.verticalAlignment(), QTextCharFormat::AlignNormal) << where.toStdString();
      EXPECT_EQ(format.fontWeight(), QFont::Normal) << where.toStdString();
      EXPECT_FALSE(format.fontItalic() || format.fontUnderline() || format.fontStrikeOut())
          << where.toStdString();
      EXPECT_FALSE(format.hasProperty(QTextFormat::ForegroundBrush)) << where.toStdString();
      checkedCharacters += fragment.fragment().length();
    }
  }
  // Every character but the paragraph separators, which carry no format of their own.
  EXPECT_EQ(checkedCharacters, box->document()->characterCount() - box->document()->blockCount());
}

TEST_F(WindowTest, ControlsHaveTheirNamesPlacesTextsAndTabStops) {
  struct Expected {
    const char16_t* name;
    const char* kind;
    QRect geometry;
    const char16_t* text;  // nullptr: not checked here (the address box holds a sample address)
    bool tabStop;
  };
  const std::vector<Expected> table = {
      {u"标签1", "QLabel", {40, 16, 56, 24}, u"要取地址", false},
      {kAddressBox, "QLineEdit", {96, 16, 328, 24}, nullptr, true},
      {kReadButton, "QPushButton", {431, 16, 65, 23}, u"读取", true},
      {u"标签4", "QLabel", {96, 40, 360, 24}, u"说明:文章内容过小可能会读取不了..软件由青禾工作室编译", false},
      {u"标签2", "QLabel", {40, 64, 56, 24}, u"文章标题:", false},
      {kTitleBox, "QLineEdit", {96, 65, 399, 24}, u"", true},
      {u"标签3", "QLabel", {40, 92, 56, 24}, u"文章时间:", false},
      {kDateBox, "QLineEdit", {96, 93, 399, 24}, u"", true},
      {kBodyBox, "QTextEdit", {40, 128, 456, 256}, u"", true},
  };
  EXPECT_EQ(window_->objectName(), text16(u"窗口"));
  EXPECT_EQ(window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(),
            static_cast<qsizetype>(table.size()));
  for (const Expected& expected : table) {
    SCOPED_TRACE(text16(expected.name).toStdString());
    auto* widget = control<QWidget>(expected.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), expected.kind);
    EXPECT_EQ(widget->geometry(), expected.geometry);
    EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, expected.tabStop);
    if (expected.tabStop) {
      EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus);
    }
    if (expected.text == nullptr) continue;
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* button = qobject_cast<QPushButton*>(widget)) shown = button->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) shown = line->text();
    if (auto* body = qobject_cast<QTextEdit*>(widget)) shown = body->toPlainText();
    EXPECT_EQ(shown, text16(expected.text));
  }
  EXPECT_TRUE(addressBox()->text().startsWith(QStringLiteral("http://")));
  // No box cuts what it is given, however long.
  for (QLineEdit* box : {addressBox(), titleBox(), dateBox()}) {
    box->setText(QString(100000, QLatin1Char('x')));
    EXPECT_EQ(box->text().size(), 100000);
  }
}

TEST_F(WindowTest, TabAndShiftTabVisitTheTabStopsInOrder) {
  showActive();
  const std::vector<QWidget*> order = {addressBox(), readButton(), titleBox(), dateBox(), bodyBox()};
  EXPECT_EQ(QApplication::focusWidget(), addressBox());
  for (std::size_t i = 1; i <= order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[i % order.size()]) << "Tab step " << i;
  }
  for (std::size_t i = order.size(); i >= 1; --i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), order[i - 1]) << "Shift+Tab step " << i;
  }
  EXPECT_TRUE(bodyBox()->toPlainText().isEmpty()) << "Tab must not type into the body box";
}

TEST_F(WindowTest, FrameIsUntitledCentredFixedAndWithoutMaximise) {
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags & Qt::Window);
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window_->windowTitle().isEmpty());

  window_->showCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_->frameGeometry().size(), QSize(513, 422));
  EXPECT_EQ(window_->frameGeometry().topLeft(),
            QPoint(screen.x() + (screen.width() - 513) / 2, screen.y() + (screen.height() - 422) / 2));
  EXPECT_GE(window_->width(), 496);
  EXPECT_GE(window_->height(), 384);

  const QSize fixed = window_->size();
  EXPECT_EQ(window_->minimumSize(), fixed);
  EXPECT_EQ(window_->maximumSize(), fixed);
  EXPECT_EQ(window_->windowHandle()->minimumSize(), window_->windowHandle()->maximumSize());
  window_->resize(800, 600);
  EXPECT_EQ(window_->size(), fixed);
  window_->resize(300, 200);
  EXPECT_EQ(window_->size(), fixed);
}

TEST_F(WindowTest, EscClosesTheWindowFromEveryControl) {
  for (const char16_t* name : {kAddressBox, kReadButton, kTitleBox, kDateBox, kBodyBox}) {
    SCOPED_TRACE(text16(name).toStdString());
    window_ = std::make_unique<MainWindow>();
    showActive();
    auto* focused = control<QWidget>(name);
    focused->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focused);
    QTest::keyClick(focused, Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
  }
}

TEST_F(WindowTest, EnterStartsNothingAndOnlyTheButtonReads) {
  LoopbackServer server(readFixture("article_a.html"));
  showActive();
  addressBox()->setText(QString::fromStdString(server.address("/a.html")));
  titleBox()->setText(QStringLiteral("typed by the user"));
  for (QWidget* focused : std::vector<QWidget*>{addressBox(), readButton(), titleBox(), dateBox()}) {
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_Return);
    QTest::keyClick(focused, Qt::Key_Enter);
  }
  EXPECT_TRUE(server.requestLines().empty());
  EXPECT_EQ(titleBox()->text(), QStringLiteral("typed by the user"));
  EXPECT_TRUE(window_->isVisible());

  clickRead();
  EXPECT_EQ(server.requestLines().size(), 1u);
  EXPECT_NE(titleBox()->text(), QStringLiteral("typed by the user"));
}

TEST_F(WindowTest, ReadOfAnEmptyAddressEmptiesTheBoxesAndShowsTheIndentInTheBodyFace) {
  addressBox()->clear();
  titleBox()->setText(QStringLiteral("old title"));
  dateBox()->setText(QStringLiteral("2001-01-01"));
  bodyBox()->setPlainText(QStringLiteral("old body"));
  clickRead();
  EXPECT_EQ(titleBox()->text(), QString());
  EXPECT_EQ(dateBox()->text(), QString());
  EXPECT_EQ(bodyBox()->toPlainText(), QStringLiteral("    "));
  expectWholeBodyIn(bodyBox(), text16(kBodyFace));
}

TEST_F(WindowTest, ReadOfALoopbackPageFillsTheBoxesWithWhatTheExtractionFinds) {
  const std::string page = readFixture("article_a.html");
  ASSERT_FALSE(page.empty());
  LoopbackServer server(page);
  showActive();
  // The typed address reaches the server as its code-page-936 bytes (raw, or %-escaped on the way):
  // 新闻 is D0C2 CEC5, 古镇 B9C5 D5F2.
  addressBox()->setText(QString::fromStdString(server.address("/")) + text16(u"新闻/古镇.html"));
  clickRead();

  ASSERT_EQ(server.requestLines().size(), 1u);
  EXPECT_EQ(percentDecoded(server.requestLines()[0]), "GET /\xD0\xC2\xCE\xC5/\xB9\xC5\xD5\xF2.html HTTP/1.0");

  // The title before its "_", the date line and the headline above it gone, the source line cut at
  // the last "。" before it, the paragraphs indented once and separated by the page's empty lines.
  EXPECT_EQ(titleBox()->text(), text16(u"江南古镇迎来旅游旺季"));
  EXPECT_EQ(dateBox()->text(), text16(u"2023-05-12"));
  EXPECT_EQ(bodyBox()->toPlainText(),
            text16(u"    随着气温回升，江南各地古镇迎来了今年的旅游旺季。周末期间，游客人数比去年同期增长了三成以上，"
                   u"街巷两旁的茶馆、书店和手工作坊生意兴隆。\n\n"
                   u"当地文旅部门介绍，今年古镇新开放了两条历史街区，并增加了夜游线路。为了缓解交通压力，"
                   u"景区在周边设置了临时停车场，并开通了免费接驳车。\n\n"
                   u"不少游客表示，古镇保留了传统的建筑风貌，小桥流水、白墙黛瓦，很适合全家一起出游。"
                   u"一位来自上海的游客说：“这里的节奏很慢，让人放松。”"));
  EXPECT_EQ(bodyBox()->document()->blockCount(), 5);
  expectWholeBodyIn(bodyBox(), text16(kBodyFace));
  // The boxes hold exactly what the extraction gives for the page, through the one conversion.
  const ArticleResult extracted = extractArticle(ByteSeq(page));
  EXPECT_EQ(gbkFromBox(titleBox()->text()), extracted.title);
  EXPECT_EQ(gbkFromBox(dateBox()->text()), extracted.time);
  EXPECT_EQ(gbkFromBox(bodyBox()->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))),
            extracted.body);

  const QString picture = QStringLiteral(READER_APP_OUTPUT_DIR "/window_after_read.png");
  EXPECT_TRUE(window_->grab().save(picture, "PNG"));
}

TEST_F(WindowTest, SecondReadReplacesTheBodyAndItsFormatAfterTheUserEditedIt) {
  LoopbackServer first(readFixture("article_a.html"));
  LoopbackServer second(readFixture("article_b.html"));
  showActive();
  addressBox()->setText(QString::fromStdString(first.address("/a.html")));
  clickRead();

  // The user reformats everything that was shown, then types more in yet another format.
  QTextCursor all(bodyBox()->document());
  all.select(QTextCursor::Document);
  QTextCharFormat loud;
  loud.setFontFamilies({QStringLiteral("Courier")});
  loud.setFontPointSize(20);
  loud.setFontWeight(QFont::Bold);
  loud.setFontItalic(true);
  loud.setFontUnderline(true);
  loud.setFontStrikeOut(true);
  loud.setForeground(Qt::red);
  loud.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  all.mergeCharFormat(loud);
  bodyBox()->moveCursor(QTextCursor::End);
  bodyBox()->mergeCurrentCharFormat(loud);
  bodyBox()->setFocus();
  QTest::keyClicks(bodyBox(), QStringLiteral("user notes"));
  QTest::keyClick(bodyBox(), Qt::Key_Return);
  QTest::keyClicks(bodyBox(), QStringLiteral("more"));
  titleBox()->setText(QStringLiteral("user title"));
  dateBox()->setText(QStringLiteral("user date"));

  addressBox()->setText(QString::fromStdString(second.address("/b.html")));
  clickRead();
  EXPECT_EQ(bodyBox()->toPlainText(),
            text16(u"    记者从粮食部门获悉，今年秋粮收购工作已在主产区全面展开。各地收购网点增加到两千多个，"
                   u"烘干设备也比往年更加充足，农民售粮更加方便。\n\n"
                   u"有关负责人表示，将继续做好市场监测，及时发布价格信息，引导多元主体积极入市收购，"
                   u"切实保护种粮农民利益，确保收购工作平稳有序。"));
  EXPECT_EQ(titleBox()->text(), text16(u"秋粮收购工作全面展开"));
  EXPECT_EQ(dateBox()->text(), text16(u"2022年10月8"));
  expectWholeBodyIn(bodyBox(), text16(kBodyFace));
  // Text typed right after a Read continues in the body's format.
  bodyBox()->moveCursor(QTextCursor::End);
  QTest::keyClicks(bodyBox(), QStringLiteral("z"));
  expectWholeBodyIn(bodyBox(), text16(kBodyFace));
}

TEST_F(WindowTest, TextTypedIntoTheEmptyBodyBoxIsInTheTypingFace) {
  showActive();
  bodyBox()->setFocus();
  QTest::keyClicks(bodyBox(), QStringLiteral("typed "));
  typeText(bodyBox(), text16(u"文字"));
  EXPECT_EQ(bodyBox()->toPlainText(), QStringLiteral("typed ") + text16(u"文字"));
  expectWholeBodyIn(bodyBox(), text16(kTypingFace));
  EXPECT_EQ(bodyBox()->font().family(), text16(kTypingFace));
  EXPECT_EQ(bodyBox()->font().pointSize(), 9);
}

TEST_F(WindowTest, BodyLinesBecomeParagraphsThatWrapAndScrollOnlyVertically) {
  showActive();
  // 第一段 (first paragraph) repeated well past the box's width, an empty line, then a short line.
  std::string longLine;
  for (int i = 0; i < 60; ++i) longLine += "\xB5\xDA\xD2\xBB\xB6\xCE";
  std::string body = "    " + longLine + "\r\n\r\nend";
  for (int i = 0; i < 40; ++i) body += "\r\nline";
  window_->showBody(GbkText(body));

  QTextDocument* document = bodyBox()->document();
  EXPECT_EQ(document->blockCount(), 43);
  EXPECT_EQ(document->begin().text(), QStringLiteral("    ") + text16(u"第一段").repeated(60));
  EXPECT_EQ(document->begin().next().text(), QString());
  EXPECT_FALSE(bodyBox()->toPlainText().contains(QLatin1Char('\r')));
  expectWholeBodyIn(bodyBox(), text16(kBodyFace));

  QCoreApplication::processEvents();
  EXPECT_GT(document->begin().layout()->lineCount(), 1) << "a long line wraps at the box's width";
  EXPECT_EQ(bodyBox()->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(bodyBox()->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(bodyBox()->verticalScrollBar()->isVisible());

  window_->showBody(GbkText());
  EXPECT_TRUE(bodyBox()->toPlainText().isEmpty());
}

}  // namespace
}  // namespace reader
