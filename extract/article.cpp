#include "extract/article.h"

#include "extract/stages.h"

namespace reader {
namespace {

// The one process-wide value of the reader: the punctuation list that the census and the block
// selection read. Every extraction rebuilds it before its first stage.
Array<ByteSeq> PunctuationMarks;

}  // namespace

void clearPunctuationMarks() { PunctuationMarks = Array<ByteSeq>(); }
void releasePunctuationMarks() { PunctuationMarks = Array<ByteSeq>(); }

ArticleResult extractArticle(ByteSeq pageBytes) {
  ArticleResult result;
  PunctuationMarks = buildPunctuationMarks();

  DecodedPage decoded = decodePage(std::move(pageBytes));                            // stage A
  result.title = extractTitle(decoded.pageText);                                     // stage B
  StrippedPage stripped = stripMarkup(decoded.pageText);                             // stage C
  Array<int> markCounts = countLineMarks(stripped.lineBytes, PunctuationMarks);      // stage D
  BlockChoice choice = selectBodyBlock(stripped.lineBytes, markCounts, PunctuationMarks);  // stage E
  DatedBlock dated = extractDate(choice.bestBlock, stripped.pageText);               // stage F
  result.time = std::move(dated.time);
  result.body = trimBody(dated.bestBlock);
  return result;
}

}  // namespace reader
