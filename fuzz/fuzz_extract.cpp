// extractArticle on arbitrary bytes. It must never fail, whatever the page, and each field keeps the
// shape its stage gives it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "extract/article.h"
#include "fuzz_check.h"
#include "text/byte_text.h"

using reader::ArticleResult;
using reader::ByteSeq;
using reader::GbkText;
using reader::fuzzing::hasNul;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteSeq page(std::string_view(reinterpret_cast<const char*>(data), size));
  const ArticleResult article = reader::extractArticle(page);

  for (const GbkText* field : {&article.time, &article.title, &article.body})
    FUZZ_CHECK(!hasNul(field->view()));

  // The body is indented by four spaces, also when no block was found.
  FUZZ_CHECK(article.body.view().substr(0, 4) == "    ");

  // The title is cut before the first separator its stage looks for, scanning by characters.
  for (const char* separator : {"-", "_", ",", "(", " "}) {
    FUZZ_CHECK(reader::findText(article.title, GbkText(separator), std::nullopt, false) == -1);
  }

  // A date is 20yy, a separator, one or two digits, a separator, one or two digits; the separators are
  // one byte, or two for 年 and 月. It never crosses a line.
  const std::string_view time = article.time.view();
  if (!time.empty()) {
    FUZZ_CHECK(time.substr(0, 2) == "20");
    FUZZ_CHECK(time.size() >= 8 && time.size() <= 12);
    FUZZ_CHECK(time.find('\n') == std::string_view::npos);
  }

  // Nothing carries over from one extraction to the next.
  FUZZ_CHECK(reader::extractArticle(page) == article);
  return 0;
}
