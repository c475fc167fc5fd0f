#include "app/main_window.h"

#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QShortcut>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QWindow>

#include <limits>
#include <string_view>
#include <utility>

#include "app/widget_text.h"
#include "extract/article.h"
#include "fetch/fetch_page.h"

namespace reader {
namespace {

// Object names and texts in code page 936, turned into widget text when the window is built.
constexpr std::string_view kWindowName = "\xB4\xB0\xBF\xDA";                           // 窗口
constexpr std::string_view kAddressCaptionName = "\xB1\xEA\xC7\xA9" "1";               // 标签1
constexpr std::string_view kAddressBoxName = "\xB1\xE0\xBC\xAD\xBF\xF2" "1";           // 编辑框1
constexpr std::string_view kReadButtonName = "\xB0\xB4\xC5\xA5" "1";                   // 按钮1
constexpr std::string_view kNoteLabelName = "\xB1\xEA\xC7\xA9" "4";                    // 标签4
constexpr std::string_view kTitleCaptionName = "\xB1\xEA\xC7\xA9" "2";                 // 标签2
constexpr std::string_view kTitleBoxName = "\xB1\xE0\xBC\xAD\xBF\xF2" "2";             // 编辑框2
constexpr std::string_view kDateCaptionName = "\xB1\xEA\xC7\xA9" "3";                  // 标签3
constexpr std::string_view kDateBoxName = "\xB1\xE0\xBC\xAD\xBF\xF2" "3";              // 编辑框3
constexpr std::string_view kBodyBoxName = "\xB3\xAC\xBC\xB6\xB1\xE0\xBC\xAD\xBF\xF2" "1";  // 超级编辑框1

constexpr std::string_view kAddressCaption = "\xD2\xAA\xC8\xA1\xB5\xD8\xD6\xB7";  // 要取地址
constexpr std::string_view kReadCaption = "\xB6\xC1\xC8\xA1";                     // 读取
// 说明:文章内容过小可能会读取不了..软件由青禾工作室编译
constexpr std::string_view kNote =
    "\xCB\xB5\xC3\xF7:\xCE\xC4\xD5\xC2\xC4\xDA\xC8\xDD\xB9\xFD\xD0\xA1\xBF\xC9\xC4\xDC\xBB\xE1\xB6\xC1"
    "\xC8\xA1\xB2\xBB\xC1\xCB..\xC8\xED\xBC\xFE\xD3\xC9\xC7\xE0\xBA\xCC\xB9\xA4\xD7\xF7\xCA\xD2\xB1\xE0"
    "\xD2\xEB";
constexpr std::string_view kTitleCaption = "\xCE\xC4\xD5\xC2\xB1\xEA\xCC\xE2:";  // 文章标题:
constexpr std::string_view kDateCaption = "\xCE\xC4\xD5\xC2\xCA\xB1\xBC\xE4:";   // 文章时间:

// The address the box holds when the window opens: an example of the form it takes, to be replaced by the
// address of the page to read.
constexpr std::string_view kSampleAddress = "http://news.example.com/2023/05-12/article.html";

// Faces of the body box: what the user types into an empty box, and what every shown body carries.
constexpr std::string_view kTypingFace = "\xCB\xCE\xCC\xE5";           // 宋体
constexpr std::string_view kBodyFace = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
constexpr qreal kBodyPointSize = 9;

// Every attribute of the format is stated, so that a format set here replaces, rather than merges
// with, whatever the box held before: face, size, baseline, the effects and the automatic colour.
QTextCharFormat completeCharFormat(std::string_view face) {
  QTextCharFormat format;
  format.setFontFamilies({widgetText(face)});
  format.setFontPointSize(kBodyPointSize);
  format.setVerticalAlignment(QTextCharFormat::AlignNormal);
  format.setFontWeight(QFont::Normal);
  format.setFontItalic(false);
  format.setFontUnderline(false);
  format.setFontStrikeOut(false);
  format.clearForeground();  // the palette's text colour
  return format;
}

template <class Widget>
Widget* placeControl(QWidget* window, std::string_view name, const QRect& geometry) {
  auto* control = new Widget(window);
  control->setObjectName(widgetText(name));
  control->setGeometry(geometry);
  return control;
}

QLabel* placeLabel(QWidget* window, std::string_view name, const QRect& geometry, std::string_view text) {
  auto* label = placeControl<QLabel>(window, name, geometry);
  label->setText(widgetText(text));
  label->setTextFormat(Qt::PlainText);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

QLineEdit* placeLineBox(QWidget* window, std::string_view name, const QRect& geometry) {
  auto* box = placeControl<QLineEdit>(window, name, geometry);
  box->setMaxLength(std::numeric_limits<int>::max());  // a long title or address is never cut
  box->setFocusPolicy(Qt::StrongFocus);
  return box;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName(widgetText(kWindowName));
  setWindowTitle(QString());
  setFixedSize(kOuterSize);  // until the frame is known; see fitClientToFrame

  // The controls, in tab order; positions are in the client area.
  addressCaption_ = placeLabel(this, kAddressCaptionName, {40, 16, 56, 24}, kAddressCaption);
  addressBox_ = placeLineBox(this, kAddressBoxName, {96, 16, 328, 24});
  addressBox_->setText(widgetText(kSampleAddress));
  readButton_ = placeControl<QPushButton>(this, kReadButtonName, {431, 16, 65, 23});
  readButton_->setText(widgetText(kReadCaption));
  readButton_->setAutoDefault(false);  // Enter never presses it
  readButton_->setDefault(false);
  readButton_->setFocusPolicy(Qt::StrongFocus);
  noteLabel_ = placeLabel(this, kNoteLabelName, {96, 40, 360, 24}, kNote);
  titleCaption_ = placeLabel(this, kTitleCaptionName, {40, 64, 56, 24}, kTitleCaption);
  titleBox_ = placeLineBox(this, kTitleBoxName, {96, 65, 399, 24});
  dateCaption_ = placeLabel(this, kDateCaptionName, {40, 92, 56, 24}, kDateCaption);
  dateBox_ = placeLineBox(this, kDateBoxName, {96, 93, 399, 24});
  bodyBox_ = placeControl<QTextEdit>(this, kBodyBoxName, {40, 128, 456, 256});

  // The body box holds plain text that wraps at its width and scrolls only vertically; Tab leaves it.
  bodyBox_->setAcceptRichText(false);
  bodyBox_->setLineWrapMode(QTextEdit::WidgetWidth);
  bodyBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  bodyBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bodyBox_->setTabChangesFocus(true);
  bodyBox_->setFocusPolicy(Qt::StrongFocus);
  // Text typed before the first Read is in the typing face; the document's default font agrees, so
  // that a box emptied by the user starts over in it.
  bodyBox_->setFont(QFont(widgetText(kTypingFace), static_cast<int>(kBodyPointSize)));
  bodyBox_->setCurrentCharFormat(completeCharFormat(kTypingFace));

  setTabOrder(addressBox_, readButton_);
  setTabOrder(readButton_, titleBox_);
  setTabOrder(titleBox_, dateBox_);
  setTabOrder(dateBox_, bodyBox_);
  addressBox_->setFocus();

  connect(readButton_, &QPushButton::clicked, this, &MainWindow::onReadClicked);
  // Esc closes the window from every control; the edit boxes do not keep the key for themselves.
  auto* closeShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  closeShortcut->setContext(Qt::WindowShortcut);
  connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::showCentred() {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  // The frame, not the client area, is what sits in the middle; C++ division truncates toward zero.
  move(screen.x() + (screen.width() - kOuterSize.width()) / 2,
       screen.y() + (screen.height() - kOuterSize.height()) / 2);
  show();
}

void MainWindow::onReadClicked() {
  ByteSeq pageBytes;
  {
    const GbkText addressText = gbkFromWidget(addressBox_->text());
    pageBytes = fetchPage(addressText);
  }
  const ArticleResult result = extractArticle(std::move(pageBytes));
  showBody(result.body);
  titleBox_->setText(widgetText(result.title));
  dateBox_->setText(widgetText(result.time));
}

void MainWindow::showBody(const GbkText& body) {
  bodyBox_->clear();
  QTextCursor insertionPoint = bodyBox_->textCursor();
  insertionPoint.setPosition(0);
  bodyBox_->setTextCursor(insertionPoint);
  // Set on the empty insertion point, the format is the one everything inserted next receives.
  bodyBox_->setCurrentCharFormat(completeCharFormat(kBodyFace));
  // Each CR LF of the body is one paragraph break of the box.
  bodyBox_->insertPlainText(widgetText(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!watchingFrame_ && windowHandle() != nullptr) {
    windowHandle()->installEventFilter(this);
    watchingFrame_ = true;
  }
  fitClientToFrame();
}

// A window manager that frames the window after it is exposed places the client inside the frame,
// which arrives here as a move.
void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible()) fitClientToFrame();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose) fitClientToFrame();
  return QWidget::eventFilter(watched, event);
}

void MainWindow::fitClientToFrame() {
  // The window manager tells the frame only once the window is exposed; until then the margins are 0.
  const QRect outer = frameGeometry();
  const QRect client = geometry();
  const QSize margins(outer.width() - client.width(), outer.height() - client.height());
  const QSize wanted = (kOuterSize - margins).expandedTo(kControlsExtent);
  if (minimumSize() != wanted || maximumSize() != wanted) setFixedSize(wanted);
}

}  // namespace reader
