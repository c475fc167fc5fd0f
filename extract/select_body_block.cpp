// Stage E: which stretch of the cleaned page is the article.
//
// Every line with fewer than two marks is a candidate. From it a backward scan looks for the block's
// start (four short lines in a row, or more than four steady long lines) and a forward scan for its end
// (four short lines in a row). The block between them is weighed; the heaviest block that has enough
// marks, no "CopyRight" and one line of real prose wins.
//
// Several values live for the whole pass, not for one candidate: longRun, previousLength, blockStart,
// blockEnd and blockSeparator. A scan that does not stop keeps the boundary an earlier candidate found,
// and once any block has had a line, every later block begins with CR LF. Real pages depend on this.
//
// Done literally, every candidate re-scans the page and re-assembles its block, which grows with the
// square of the page. Here each scan's stop comes from run lengths computed once per page, and each
// block's marks, weight, "CopyRight" test and longest line from prefix sums over its lines, so the pass
// is linear. Only the winning block is assembled, once, at the end.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "extract/byte_search.h"
#include "extract/stages.h"

namespace reader {
namespace {

constexpr int CandidateMarkLimit = 2;  // a candidate line has fewer marks than this
constexpr int ShortLine = 20;          // a line shorter than this is short
constexpr int ShortRunStop = 4;        // this many short lines in a row stop a scan
constexpr int SteadyMinimum = 9;       // a steady long line has at least this many bytes
constexpr int SteadyDrop = 7;          // and is at most this much shorter than the line before
constexpr int LongRunStop = 4;         // more steady long lines in a row than this stop a backward scan
constexpr int MarkMinimum = 6;
constexpr int LineBreakWeight = 80;    // a CR LF pair weighs as much as this many bytes
constexpr int LongestLineMinimum = 50;  // the longest line must be longer than this

const GbkText ExcludedWord("CopyRight");

using Count = std::int64_t;

// Whether a character-by-character scan that enters a line at its first byte leaves it one byte late,
// because the line ends with the first byte of a two-byte character. The scan then takes the CR of the
// following CR LF as that character's second byte, so the CR LF is neither replaced when the block is
// weighed nor split at when its longest line is measured. Well-formed text never does this.
bool endsInsideCharacter(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size()) p += static_cast<unsigned char>(line[p]) >= 0x80 ? 2 : 1;
  return p > line.size();
}

// Everything the selection asks about lines and ranges of lines, computed once. Arrays are 1-based like
// the lines, with a sentinel at 0 and at N + 1.
class LineFacts {
 public:
  LineFacts(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks) : count_(arrayCount(lineBytes)) {
    const int n = count_;
    length_.assign(n + 2, 0);
    lengthSum_.assign(n + 2, 0);
    markSum_.assign(n + 2, 0);
    copyrightSum_.assign(n + 2, 0);
    lateSum_.assign(n + 2, 0);
    const std::vector<int> lineMarks = countMarksPerLine(lineBytes, marks);
    const bytesearch::FoldedLiteral excludedWord(ExcludedWord.view());
    for (int k = 1; k <= n; ++k) {
      const ByteSeq& line = arrayItem(lineBytes, k);
      length_[k] = byteLength(line);
      lengthSum_[k] = lengthSum_[k - 1] + length_[k];
      markSum_[k] = markSum_[k - 1] + lineMarks[static_cast<std::size_t>(k - 1)];
      // No search can run across a separator (CR LF, or 80 spaces once weighed), and every line is
      // entered at a character boundary, so the word is found in the block exactly when it is found in
      // one of its lines.
      // The byte search is only a quick first look; the character scan decides.
      const bool hasWord = excludedWord.find(line.view(), 0) != bytesearch::npos &&
                           findText(GbkText(line.view()), ExcludedWord, std::nullopt, true) != -1;
      copyrightSum_[k] = copyrightSum_[k - 1] + (hasWord ? 1 : 0);
      lateSum_[k] = lateSum_[k - 1] + (endsInsideCharacter(line.view()) ? 1 : 0);
    }

    // Runs of short lines upward (k, k+1, ...) and downward (k, k-1, ...); runs of steady long lines
    // upward, where line k is steady after line k+1 as a backward scan meets them.
    std::vector<int> shortUp(n + 2, 0), shortDown(n + 2, 0), steadyUp(n + 2, 0);
    for (int k = 1; k <= n; ++k) shortDown[k] = isShort(k) ? shortDown[k - 1] + 1 : 0;
    for (int k = n; k >= 1; --k) {
      shortUp[k] = isShort(k) ? shortUp[k + 1] + 1 : 0;
      steadyUp[k] = (k < n && isSteady(length_[k], length_[k + 1])) ? steadyUp[k + 1] + 1 : 0;
    }
    steadyUp_ = steadyUp;
    // The highest line at or below i where a backward scan that started above it would stop: four short
    // lines from there up, or five steady long lines from there up.
    lastShortStop_.assign(n + 2, 0);
    lastLongStop_.assign(n + 2, 0);
    for (int k = 1; k <= n; ++k) {
      lastShortStop_[k] = shortUp[k] >= ShortRunStop ? k : lastShortStop_[k - 1];
      lastLongStop_[k] = steadyUp[k] > LongRunStop ? k : lastLongStop_[k - 1];
    }
    // The lowest line at or above i that ends four short lines in a row: where a forward scan stops.
    nextForwardStop_.assign(n + 2, n + 1);
    for (int k = n; k >= 1; --k) nextForwardStop_[k] = shortDown[k] >= ShortRunStop ? k : nextForwardStop_[k + 1];

    // Pieces: what splitting the block at its CR LF pairs yields. A line that ends inside a character
    // runs on into the next one, CR LF included.
    piece_.assign(n + 2, 0);
    int current = 0;
    for (int k = 1; k <= n; ++k) {
      if (k == 1 || !endsLate(k - 1)) {
        ++current;
        pieceFirst_.push_back(k);
        pieceLast_.push_back(k);
      }
      piece_[k] = current;
      pieceLast_.back() = k;
    }
  }

  int count() const { return count_; }
  int length(int k) const { return length_[k]; }
  bool isShort(int k) const { return length_[k] < ShortLine; }
  static bool isSteady(int length, int previousLength) {
    return length >= SteadyMinimum && previousLength - length <= SteadyDrop;
  }
  int steadyUp(int k) const { return steadyUp_[k]; }
  int lastShortStop(int k) const { return k >= 1 ? lastShortStop_[k] : 0; }
  int lastLongStop(int k) const { return k >= 1 ? lastLongStop_[k] : 0; }
  int nextForwardStop(int k) const { return k <= count_ ? nextForwardStop_[k] : count_ + 1; }
  bool endsLate(int k) const { return lateSum_[k] != lateSum_[k - 1]; }

  // Lines a..b (a <= b) joined with CR LF: their bytes.
  Count spanLength(int a, int b) const { return lengthSum_[b] - lengthSum_[a - 1] + 2 * Count{b - a}; }
  Count marks(int a, int b) const { return markSum_[b] - markSum_[a - 1]; }
  bool hasExcludedWord(int a, int b) const { return copyrightSum_[b] != copyrightSum_[a - 1]; }
  // How many of the CR LF pairs between lines a..b a character scan meets whole.
  Count wholeSeparators(int a, int b) const { return Count{b - a} - (lateSum_[b - 1] - lateSum_[a - 1]); }

  // The longest piece of lines a..b split at CR LF.
  Count longestPiece(int a, int b) const {
    const int first = piece_[a];
    const int last = piece_[b];
    if (first == last) return spanLength(a, b);
    Count longest = std::max(spanLength(a, pieceLast_[first - 1]), spanLength(pieceFirst_[last - 1], b));
    if (last - first >= 2) {
      if (longestPiece_.empty()) buildLongestPieceTable();
      const int from = first, to = last - 2;  // 0-based pieces strictly between
      int level = 0;
      while ((2 << level) <= to - from + 1) ++level;
      const std::vector<Count>& table = longestPiece_[static_cast<std::size_t>(level)];
      longest = std::max({longest, table[from], table[to - (1 << level) + 1]});
    }
    return longest;
  }

 private:
  // Sparse table of whole-piece lengths, for the longest piece strictly inside a block. Built at the first
  // block that gets as far as the longest-line test, which most pages' candidates never reach.
  void buildLongestPieceTable() const {
    const int pieces = static_cast<int>(pieceFirst_.size());
    std::vector<Count> pieceLength(static_cast<std::size_t>(pieces));
    for (int g = 0; g < pieces; ++g) pieceLength[g] = spanLength(pieceFirst_[g], pieceLast_[g]);
    longestPiece_.push_back(pieceLength);
    for (int width = 2; width <= pieces; width *= 2) {
      const std::vector<Count>& previous = longestPiece_.back();
      std::vector<Count> level(static_cast<std::size_t>(pieces - width + 1));
      for (int g = 0; g + width <= pieces; ++g) level[g] = std::max(previous[g], previous[g + width / 2]);
      longestPiece_.push_back(std::move(level));
    }
  }

  int count_;
  std::vector<int> length_;
  std::vector<Count> lengthSum_, markSum_;
  std::vector<int> copyrightSum_, lateSum_;
  std::vector<int> steadyUp_, lastShortStop_, lastLongStop_, nextForwardStop_;
  std::vector<int> piece_, pieceFirst_, pieceLast_;  // piece_ is 1-based per line; the others 0-based
  mutable std::vector<std::vector<Count>> longestPiece_;
};

}  // namespace

BlockChoice selectBodyBlock(const Array<ByteSeq>& lineBytes, const Array<int>& markCounts,
                            const Array<ByteSeq>& marks) {
  const LineFacts lines(lineBytes, marks);
  const int lineCount = arrayCount(markCounts);

  // The pass-lifetime values.
  Count longRun = 0;
  int previousLength = 0;
  int blockStart = 0;
  int blockEnd = 0;
  bool separatorIsCrLf = false;  // blockSeparator: empty until a block has had a line, then CR LF

  Count bestWeight = 0;
  int bestFirst = 0, bestLast = 0;
  bool bestHasLeadingSeparator = false;

  for (int candidateLine = 1; candidateLine <= lineCount; ++candidateLine) {
    if (arrayItem(markCounts, candidateLine) >= CandidateMarkLimit) continue;
    const int c = candidateLine;

    // Backward scan. The candidate line is judged against the carried previousLength and continues the
    // carried longRun; every line below it is judged against the line above it.
    const bool candidateSteady = LineFacts::isSteady(lines.length(c), previousLength);
    const Count candidateLongRun = candidateSteady ? longRun + 1 : 0;
    // longRun once the scan has examined line k (k <= c) without stopping above it.
    const auto longRunAt = [&](int k) -> Count {
      if (k == c) return candidateLongRun;
      const int run = std::min(lines.steadyUp(k), c - k);
      return (run == c - k) ? candidateLongRun + run : run;
    };
    int longStop = 0;  // the line where the longRun rule stops the scan, 0 for none
    if (candidateLongRun > LongRunStop) {
      longStop = c;
    } else {
      if (candidateSteady) {
        const int k = c - static_cast<int>(LongRunStop - candidateLongRun + 1);
        if (k >= 1 && longRunAt(k) > LongRunStop) longStop = k;
      }
      if (longStop == 0) longStop = lines.lastLongStop(c - (LongRunStop + 1));
    }
    const int shortStop = lines.lastShortStop(c - (ShortRunStop - 1));
    const int stop = std::max(longStop, shortStop);
    if (stop > 0) {
      blockStart = stop + 2;
      longRun = longRunAt(stop);
      if (stop == longStop) {
        // The longRun rule fires before previousLength takes the stopping line's length.
        previousLength = (stop == c) ? previousLength : lines.length(stop + 1);
      } else {
        previousLength = lines.length(stop);
      }
    } else {
      longRun = longRunAt(1);
      previousLength = lines.length(1);
    }
    if (blockStart == 0) blockStart = 1;

    // Forward scan.
    if (c < lineCount) {
      const int stopLine = lines.nextForwardStop(c + ShortRunStop);
      if (stopLine <= lineCount) {
        blockEnd = stopLine - ShortRunStop;
        previousLength = lines.length(stopLine);
      } else {
        previousLength = lines.length(lineCount);
      }
    }

    // The block: lines blockStart+1 .. blockEnd, behind blockSeparator.
    const int first = blockStart + 1;
    const int last = blockEnd;
    if (last < first) continue;  // no lines, no marks
    const bool leadingSeparator = separatorIsCrLf;
    separatorIsCrLf = true;

    if (lines.marks(first, last) < MarkMinimum) continue;
    const Count separators = (leadingSeparator ? 1 : 0) + lines.wholeSeparators(first, last);
    const Count blockWeight =
        (leadingSeparator ? 2 : 0) + lines.spanLength(first, last) + (LineBreakWeight - 2) * separators;
    if (blockWeight <= bestWeight) continue;
    if (lines.hasExcludedWord(first, last)) continue;
    if (lines.longestPiece(first, last) <= LongestLineMinimum) continue;

    bestWeight = blockWeight;
    bestFirst = first;
    bestLast = last;
    bestHasLeadingSeparator = leadingSeparator;
  }

  BlockChoice choice;
  choice.bestWeight = bestWeight;
  if (bestWeight > 0) {
    std::string block;
    block.reserve(static_cast<std::size_t>(lines.spanLength(bestFirst, bestLast) + 2));
    if (bestHasLeadingSeparator) block += "\r\n";
    for (int k = bestFirst; k <= bestLast; ++k) {
      if (k > bestFirst) block += "\r\n";
      block += arrayItem(lineBytes, k).view();
    }
    choice.bestBlock = GbkText(std::move(block));
  }
  return choice;
}

}  // namespace reader
