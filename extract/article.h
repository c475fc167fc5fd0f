// The extraction: from the bytes of one fetched page to its date, title and body.
#pragma once

#include "text/byte_text.h"

namespace reader {

struct ArticleResult {
  GbkText time;   // the date exactly as the date pattern matched it; empty when none was taken
  GbkText title;  // the title element without tags, cut before its first separator
  GbkText body;   // the chosen block, trimmed, re-joined with CR LF, indented by four spaces
  friend bool operator==(const ArticleResult&, const ArticleResult&) = default;
};

// Runs the six stages in their fixed order on pageBytes (which may be empty) and returns a result the
// caller owns outright. Never fails: a page with nothing to find gives empty fields and a body of four
// spaces. Rebuilds PunctuationMarks first.
ArticleResult extractArticle(ByteSeq pageBytes);

// The process-wide punctuation list: empty at start-up, rebuilt by every extraction, released at
// shut-down. The programs call these two around their lifetime.
void clearPunctuationMarks();
void releasePunctuationMarks();

}  // namespace reader
