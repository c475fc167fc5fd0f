// Many extractions in one process, as a long session of the reader does them: resident memory must stay
// flat after a warm-up round, and every page must keep giving the same article.
//
// Ten thousand extractions over the corpus pages after a warm-up round of one each; under the sanitizers
// that takes a few minutes. READER_ENDURANCE_EXTRACTIONS sets another count, for a quicker or a longer run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "byte_helpers.h"
#include "extract/article.h"
#include "hardening/resident_memory.h"

// The sanitizer keeps freed memory aside for a while to catch late use of it, and that store grows to a
// quarter of a gigabyte before it levels off. Here memory must be handed back as the program would hand it
// back; late use is the other tests' business.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=0";
}

namespace reader {
namespace {

constexpr std::size_t kDefaultExtractions = 10000;
constexpr std::size_t kAllowedGrowthBytes = std::size_t{4} << 20;

std::size_t extractionCount() {
  const char* configured = std::getenv("READER_ENDURANCE_EXTRACTIONS");
  if (configured == nullptr || *configured == '\0') return kDefaultExtractions;
  return static_cast<std::size_t>(std::strtoull(configured, nullptr, 10));
}

struct Page {
  std::string name;
  ByteSeq bytes;
  ArticleResult article;  // from the warm-up round
};

TEST(ExtractionEndurance, MemoryStaysFlatAndResultsStayTheSame) {
  std::vector<Page> pages;
  for (const auto& entry : std::filesystem::directory_iterator(READER_CORPUS_DIR)) {
    if (entry.path().extension() != ".html") continue;
    pages.push_back(
        {entry.path().filename().string(), ByteSeq(testing::readFile(entry.path().string())), {}});
  }
  ASSERT_GE(pages.size(), 100u);

  clearPunctuationMarks();
  for (Page& page : pages) page.article = extractArticle(page.bytes);
  const std::size_t afterWarmUp = testing::residentBytes();
  ASSERT_GT(afterWarmUp, 0u);

  const std::size_t count = extractionCount();
  std::size_t changed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Page& page = pages[i % pages.size()];
    if (!(extractArticle(page.bytes) == page.article) && ++changed <= 3)
      ADD_FAILURE() << page.name << " changed";
  }
  const std::size_t atEnd = testing::residentBytes();
  releasePunctuationMarks();

  EXPECT_EQ(changed, 0u);
  const long long growth = static_cast<long long>(atEnd) - static_cast<long long>(afterWarmUp);
  RecordProperty("extractions", std::to_string(count));
  RecordProperty("resident_after_warm_up_kib", std::to_string(afterWarmUp >> 10));
  RecordProperty("resident_growth_kib", std::to_string(growth / 1024));
  std::printf("%zu extractions after a warm-up of %zu: resident %zu KiB -> %zu KiB\n", count, pages.size(),
              afterWarmUp >> 10, atEnd >> 10);
  EXPECT_LT(growth, static_cast<long long>(kAllowedGrowthBytes))
      << "resident memory grew by " << growth << " bytes";
}

}  // namespace
}  // namespace reader
