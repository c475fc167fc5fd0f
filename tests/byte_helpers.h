// Small helpers shared by the tests: byte literals and readable failure output.
#pragma once

#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>

#include "text/byte_text.h"

namespace reader::testing {

inline GbkText T(std::string_view bytes) { return GbkText(bytes); }
inline ByteSeq B(std::string_view bytes) { return ByteSeq(bytes); }

// Bytes shown as hex, for messages about values that hold GBK or control bytes.
inline std::string hex(std::string_view bytes) {
  std::ostringstream out;
  for (unsigned char c : bytes) out << std::hex << std::setw(2) << std::setfill('0') << int{c} << ' ';
  return out.str();
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace reader::testing

#include "services/charset.h"

namespace reader::testing {

// A GBK text written readably in the test's source as a UTF-8 literal.
inline GbkText G(std::u8string_view utf8) {
  return utf8ToGbk(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}
inline std::string gbk(std::u8string_view utf8) { return G(utf8).bytes(); }

}  // namespace reader::testing
