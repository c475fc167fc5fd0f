// The census exactly as the rules read: nineteen findBytes searches per hit.
#include "reference_stages.h"

namespace reader::reference {

int findNextMark(const ByteSeq& line, int start, const Array<ByteSeq>& marks) {
  int best = MarkSearchLimit;
  for (const ByteSeq& mark : marks) {
    const int p = findBytes(line, mark, start);
    if (p != -1 && p < best) best = p;
  }
  return best == MarkSearchLimit ? -1 : best;
}

int countMarks(const ByteSeq& data, const Array<ByteSeq>& marks) {
  int total = 0;
  for (const ByteSeq& mark : marks) {
    int p = 0;
    while ((p = findBytes(data, mark, p + 1)) != -1) ++total;
  }
  return total;
}

Array<int> countLineMarks(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks) {
  Array<int> markCounts;
  for (int k = 1; k <= arrayCount(lineBytes); ++k) {
    int pos = 0;
    int count = 0;
    while ((pos = reference::findNextMark(arrayItem(lineBytes, k), pos + 2, marks)) != -1) ++count;
    arrayAppend(markCounts, count);
  }
  return markCounts;
}

}  // namespace reader::reference
