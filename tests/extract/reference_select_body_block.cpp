// The block selection exactly as the rules read, step by step, re-scanning and re-assembling a block for
// every candidate. Quadratic, and kept only to check the production version against it.
#include "reference_stages.h"

namespace reader::reference {
namespace {

constexpr int CandidateMarkLimit = 2;  // a candidate line has fewer marks than this
constexpr int ShortLine = 20;          // a line shorter than this is short
constexpr int ShortRunStop = 4;        // this many short lines in a row stop a scan
constexpr int SteadyMinimum = 9;       // a steady long line has at least this many bytes
constexpr int SteadyDrop = 7;          // and is at most this much shorter than the line before
constexpr int LongRunStop = 4;         // more steady long lines in a row than this stop a backward scan
constexpr int MarkMinimum = 6;
constexpr int LineBreakWeight = 80;
constexpr int LongestLineMinimum = 50;  // the longest line must be longer than this

const GbkText CrLf("\r\n");
const GbkText ExcludedWord("CopyRight");

}  // namespace

BlockChoice selectBodyBlock(const Array<ByteSeq>& lineBytes, const Array<int>& markCounts,
                            const Array<ByteSeq>& marks) {
  BlockChoice choice;
  int longRun = 0;
  int previousLength = 0;
  int blockStart = 0;
  int blockEnd = 0;
  ByteSeq blockSeparator;
  const int lineCount = arrayCount(markCounts);

  for (int candidateLine = 1; candidateLine <= lineCount; ++candidateLine) {
    if (arrayItem(markCounts, candidateLine) >= CandidateMarkLimit) continue;

    // Backward scan: from the candidate towards the top of the page.
    int shortRun = 0;
    for (int k = candidateLine; k >= 1; --k) {
      const int length = byteLength(arrayItem(lineBytes, k));
      shortRun = length < ShortLine ? shortRun + 1 : 0;
      if (length >= SteadyMinimum && previousLength - length <= SteadyDrop) {
        if (++longRun > LongRunStop) {
          blockStart = k + 2;
          break;  // previousLength keeps the line before this one
        }
      } else {
        longRun = 0;
      }
      previousLength = length;
      if (shortRun >= ShortRunStop) {
        blockStart = k + 2;
        break;
      }
    }
    if (blockStart == 0) blockStart = 1;

    // Forward scan: from the line after the candidate towards the bottom.
    shortRun = 0;
    for (int k = candidateLine + 1; k <= lineCount; ++k) {
      const int length = byteLength(arrayItem(lineBytes, k));
      shortRun = length < ShortLine ? shortRun + 1 : 0;
      previousLength = length;
      if (shortRun >= ShortRunStop) {
        blockEnd = k - ShortRunStop;
        break;
      }
    }

    ByteSeq blockBytes;
    for (int k = blockStart + 1; k <= blockEnd; ++k) {
      blockBytes = concatBytes(blockBytes, blockSeparator, arrayItem(lineBytes, k));
      blockSeparator = ByteSeq("\r\n");
    }

    if (reference::countMarks(blockBytes, marks) < MarkMinimum) continue;
    GbkText blockText = toText(blockBytes);
    GbkText weighedText = replaceText(blockText, CrLf, blankText(LineBreakWeight), std::nullopt, std::nullopt, true);
    const int blockWeight = textLength(weighedText);
    if (blockWeight <= choice.bestWeight) continue;
    if (findText(weighedText, ExcludedWord, std::nullopt, true) != -1) continue;
    int longestLine = 0;
    for (const GbkText& line : splitText(blockText, CrLf, std::nullopt)) {
      if (textLength(line) > longestLine) longestLine = textLength(line);
    }
    if (longestLine <= LongestLineMinimum) continue;

    choice.bestBlock = std::move(blockText);
    choice.bestWeight = blockWeight;
  }
  return choice;
}

}  // namespace reader::reference
