// The fatal report: the one way the reader ends itself on an internal fault.
#pragma once

#include <cstddef>

namespace reader {

class GbkText;

// Shows where a report goes: the window installs a message box, the command-line reader a writer that
// converts to the terminal's encoding. Without one, the report's bytes go to standard error unchanged.
using FatalReportSink = void (*)(const GbkText& report);
void setFatalReportSink(FatalReportSink sink);

// Builds the report ("运行时出错!", then the code line when code is not 0, then the message line when the
// message is not empty, each with its CR LF pairs), shows it through the sink and ends the process with
// exit code -1.
[[noreturn]] void fatalRuntimeError(int code, const GbkText& message);

// The report text alone, for sinks and tests.
GbkText fatalReportText(int code, const GbkText& message);

// Exhausted memory while building a result of `size` bytes: fatalRuntimeError(0, "分配 <size> 字节内存失败!").
[[noreturn]] void fatalOutOfMemory(std::size_t size);

}  // namespace reader
