#include "app/fatal_report_box.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <string_view>

#include "app/widget_text.h"
#include "text/fatal_error.h"

namespace reader {
namespace {

constexpr std::string_view kErrorCaption = "\xB4\xED\xCE\xF3";  // 错误

}  // namespace

void showFatalReportBox(const GbkText& report) {
  if (QApplication::instance() == nullptr) {
    std::fwrite(report.bytes().data(), 1, report.bytes().size(), stderr);
    std::fflush(stderr);
    return;
  }
  // The report's CR LF pairs are line breaks; a label shows LF as one.
  QMessageBox box(QMessageBox::Critical, widgetText(kErrorCaption),
                  widgetText(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), QMessageBox::Ok,
                  nullptr);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void installFatalReportBox() { setFatalReportSink(&showFatalReportBox); }

}  // namespace reader
