// Stage D: how much punctuation each line carries. Prose has marks; menus, bylines and link lists have
// few. All searching is on bytes, so a mark may straddle two characters and still count.
#include <algorithm>
#include <array>
#include <vector>

#include "extract/stages.h"

namespace reader {
namespace {

// The marks in list order, separated by "_": ，．：！？、；（）＂ then , . : ! ? 、 ; ( ).
constexpr std::string_view StoredMarks =
    "\xA3\xAC_\xA3\xAE_\xA3\xBA_\xA3\xA1_\xA3\xBF_\xA1\xA2_\xA3\xBB_\xA3\xA8_\xA3\xA9_\xA3\xA2_"
    ",_._:_!_?_\xA1\xA2_;_(_)";

// Answers "which marks begin at this byte?" in one look-up by the byte's value, so a line is scanned
// once instead of once per mark.
class MarkTable {
 public:
  explicit MarkTable(const Array<ByteSeq>& marks) {
    for (const ByteSeq& mark : marks) {
      if (mark.empty()) continue;  // an empty mark is never found
      byFirstByte_[static_cast<unsigned char>(mark.view().front())].push_back(mark.view());
      startsAMark_[static_cast<unsigned char>(mark.view().front())] = true;
    }
  }

  // How many list entries begin at 0-based offset i of bytes (an entry listed twice counts twice).
  int marksAt(std::string_view bytes, std::size_t i) const {
    if (!startsAMark_[static_cast<unsigned char>(bytes[i])]) return 0;
    int found = 0;
    for (std::string_view mark : byFirstByte_[static_cast<unsigned char>(bytes[i])]) {
      if (bytes.substr(i, mark.size()) == mark) ++found;
    }
    return found;
  }

  // 1-based position of the earliest entry beginning at or after position start, below MarkSearchLimit.
  int findNext(std::string_view line, int start) const {
    std::size_t from = static_cast<std::size_t>(std::max(start, 1) - 1);
    std::size_t end = std::min(line.size(), static_cast<std::size_t>(MarkSearchLimit - 1));
    for (std::size_t i = from; i < end; ++i) {
      if (marksAt(line, i) > 0) return static_cast<int>(i + 1);
    }
    return -1;
  }

 private:
  std::array<std::vector<std::string_view>, 256> byFirstByte_;
  std::array<bool, 256> startsAMark_{};
};

int countWith(const MarkTable& table, std::string_view bytes) {
  int total = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) total += table.marksAt(bytes, i);
  return total;
}

}  // namespace

Array<ByteSeq> buildPunctuationMarks() { return splitBytes(ByteSeq(StoredMarks), ByteSeq("_"), std::nullopt); }

int findNextMark(const ByteSeq& line, int start, const Array<ByteSeq>& marks) {
  return MarkTable(marks).findNext(line.view(), start);
}

int countMarks(const ByteSeq& data, const Array<ByteSeq>& marks) {
  return countWith(MarkTable(marks), data.view());
}

std::vector<int> countMarksPerLine(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks) {
  MarkTable table(marks);
  std::vector<int> counts;
  counts.reserve(lineBytes.items().size());
  for (const ByteSeq& line : lineBytes) counts.push_back(countWith(table, line.view()));
  return counts;
}

Array<int> countLineMarks(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks) {
  MarkTable table(marks);
  Array<int> markCounts;
  for (const ByteSeq& line : lineBytes) {
    int count = 0;
    // The first search starts at the line's second byte; each next one two bytes after the last hit.
    for (int pos = 0; (pos = table.findNext(line.view(), pos + 2)) != -1;) ++count;
    arrayAppend(markCounts, count);
  }
  return markCounts;
}

}  // namespace reader
