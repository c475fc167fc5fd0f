#include "text/fatal_error.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "text/byte_text.h"

namespace reader {
namespace {

std::atomic<FatalReportSink> reportSink{nullptr};

// Byte texts of the report, in code page 936.
constexpr std::string_view kRuntimeErrorHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";  // 运行时出错!
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";            // 错误代码：
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";         // 错误信息：
constexpr std::string_view kAllocateFailedBefore = "\xB7\xD6\xC5\xE4 ";                        // 分配
constexpr std::string_view kAllocateFailedAfter =
    " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";  // 字节内存失败!
constexpr std::string_view kCrLf = "\r\n";

void writeToStandardError(const GbkText& report) {
  std::string_view rest = report.view();
  while (!rest.empty()) {
    ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (written <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void setFatalReportSink(FatalReportSink sink) { reportSink.store(sink); }

GbkText fatalReportText(int code, const GbkText& message) {
  std::string report(kRuntimeErrorHeading);
  report.append(kCrLf).append(kCrLf);
  if (code != 0) {
    report.append(kCodeLabel).append(std::to_string(code)).append(kCrLf).append(kCrLf);
  }
  if (!message.empty()) report.append(kMessageLabel).append(message.view()).append(kCrLf);
  return GbkText(std::move(report));
}

void fatalRuntimeError(int code, const GbkText& message) {
  GbkText report = fatalReportText(code, message);
  FatalReportSink sink = reportSink.load();
  (sink ? sink : writeToStandardError)(report);
  std::_Exit(-1);
}

void fatalOutOfMemory(std::size_t size) {
  // Built without the heap's help beyond a small string: the request that failed was large.
  std::string message(kAllocateFailedBefore);
  message.append(std::to_string(size)).append(kAllocateFailedAfter);
  fatalRuntimeError(0, GbkText(std::move(message)));
}

}  // namespace reader
