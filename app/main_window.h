// The reader's one window: an address box, the Read button, the title, date and body boxes, and their
// captions. Pressing Read fetches the typed address, extracts the article and fills the three boxes.
#pragma once

#include <QSize>
#include <QWidget>

#include "text/byte_text.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace reader {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // The whole frame, title bar and borders included, wherever the window manager reports a frame.
  static constexpr QSize kOuterSize{513, 422};
  // The least client area that shows every control whole (the right and bottom edges of the
  // rightmost and lowest controls).
  static constexpr QSize kControlsExtent{496, 384};

  explicit MainWindow(QWidget* parent = nullptr);

  // Places the frame in the middle of the primary screen and shows the window.
  void showCentred();

  // Replaces everything in the body box with `body`, the whole of it in the body's character format.
  void showBody(const GbkText& body);

 public slots:
  // The Read command: address box -> fetch -> extraction -> body, title and date boxes, in that order.
  void onReadClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Sizes the client area so that the frame around it is kOuterSize, once the frame is known.
  void fitClientToFrame();

  QLabel* addressCaption_;   // 标签1
  QLineEdit* addressBox_;    // 编辑框1
  QPushButton* readButton_;  // 按钮1
  QLabel* noteLabel_;        // 标签4
  QLabel* titleCaption_;     // 标签2
  QLineEdit* titleBox_;      // 编辑框2
  QLabel* dateCaption_;      // 标签3
  QLineEdit* dateBox_;       // 编辑框3
  QTextEdit* bodyBox_;       // 超级编辑框1
  bool watchingFrame_ = false;
};

}  // namespace reader
