// Straightforward versions of the stages that production code computes a faster way. Each follows the
// rules word for word; the tests check that the production versions give the same results.
#pragma once

#include "extract/stages.h"

namespace reader::reference {

BlockChoice selectBodyBlock(const Array<ByteSeq>& lineBytes, const Array<int>& markCounts,
                            const Array<ByteSeq>& marks);

// The census through findBytes: every mark searched to the end of the line for every hit.
int findNextMark(const ByteSeq& line, int start, const Array<ByteSeq>& marks);
int countMarks(const ByteSeq& data, const Array<ByteSeq>& marks);
Array<int> countLineMarks(const Array<ByteSeq>& lineBytes, const Array<ByteSeq>& marks);

}  // namespace reader::reference

namespace reader::reference {

// The text steps after the markup rules one replaceText at a time.
GbkText normaliseLineBreaks(const GbkText& text);

// trimBody with one findTextReverse per trailer marker.
GbkText trimBody(const GbkText& body);

// The title through firstMatch over the whole page and replaceAllMatches, as the rules read.
GbkText extractTitle(const GbkText& pageText);

}  // namespace reader::reference
