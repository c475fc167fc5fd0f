// The reader's window program: one window, one command, nothing stored between runs.
#include <QApplication>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include "app/fatal_report_box.h"
#include "app/main_window.h"
#include "extract/article.h"
#include "text/page_memory.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The title bar shows no text. With an empty title Qt would put the program's name there instead;
  // an empty (but set) display name is what keeps the caption blank.
  QGuiApplication::setApplicationDisplayName(QStringLiteral(""));
  reader::installFatalReportBox();
  reader::keepPageSizedBuffers();

  reader::clearPunctuationMarks();
  // Runs when the application object goes away, after the window has closed and the loop has ended.
  qAddPostRoutine(&reader::releasePunctuationMarks);

  reader::MainWindow window;
  window.showCentred();
  application.exec();
  return 0;
}
