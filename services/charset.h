// Code page 936 at the reader's boundaries, and the charset conversion of the page decoding.
//
// Every text that crosses between a GbkText and Unicode (the pattern services, the window, the terminal)
// goes through the one conversion pair below, so that all of them agree with Windows code page 936:
// 0x80 is €, A1A4 is U+00B7, A1AA is U+2014, user-defined codes go to the Private Use Area and back.
#pragma once

#include <string>
#include <string_view>

#include "text/byte_text.h"

namespace reader {

// GBK bytes to Unicode. An invalid lead byte gives one U+FFFD and the byte after it is read afresh; a
// dangling lead byte at the end gives U+FFFD.
std::u16string gbkToUtf16(std::string_view gbkBytes);
std::string gbkToUtf8(std::string_view gbkBytes);

// Unicode to GBK. Every code point code page 936 cannot hold becomes exactly one "?", default-ignorable
// ones (U+200B and the like) included; no best-fit mapping. The text ends before its first U+0000.
GbkText utf16ToGbk(std::u16string_view text);
GbkText utf8ToGbk(std::string_view utf8Bytes);

// Re-encodes bytes from one named charset into another through Unicode and code page 936, as the page
// decoding needs for its one call ("utf-8" to "gb2312"): invalid input gives U+FFFD, one leading U+FEFF
// is dropped, the text ends before its first U+0000, and what code page 936 cannot hold becomes "?".
// An unknown charset name, an empty input or a converter error give an empty ByteSeq.
ByteSeq convertCharset(const ByteSeq& bytes, const GbkText& fromCharset, const GbkText& toCharset);

}  // namespace reader
