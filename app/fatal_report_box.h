// The window's way of showing a fatal report: a modal error box, owned by no window.
#pragma once

#include "text/byte_text.h"

namespace reader {

// Shows `report` in a modal message box captioned "错误" with the error icon and waits for it to be
// dismissed. Without an application object (before start-up, after shut-down) the report's bytes go to
// standard error instead.
void showFatalReportBox(const GbkText& report);

// Makes showFatalReportBox the way fatalRuntimeError shows its report. Called once the application
// object exists.
void installFatalReportBox();

}  // namespace reader
