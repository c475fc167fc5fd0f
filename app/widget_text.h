// The window's side of the code-page-936 boundary: every text that goes into a widget or comes out of
// one passes through these two, so the window and the pipeline agree on every byte.
#pragma once

#include <QString>

#include <string_view>

#include "services/charset.h"
#include "text/byte_text.h"

namespace reader {

inline QString widgetText(std::string_view gbkBytes) {
  return QString::fromStdU16String(gbkToUtf16(gbkBytes));
}
inline QString widgetText(const GbkText& text) { return widgetText(text.view()); }

inline GbkText gbkFromWidget(const QString& text) { return utf16ToGbk(text.toStdU16String()); }

}  // namespace reader
